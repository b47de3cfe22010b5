// One block of a socket's send queue: bytes written at the end, sent from the front.
#pragma once

class TBuffer {
public:
    explicit TBuffer(int Size);
    ~TBuffer();
    TBuffer(const TBuffer &) = delete;
    TBuffer &operator=(const TBuffer &) = delete;

    void Resize(int NewSize);
    int AppendData(const void *Data, int Len);
    // The unsent part, or nullptr with Len 0 when everything is sent.
    const char *PeekData(int &Len) const;
    int Consume(int Len);

    char *Memory = nullptr;
    int Capacity = 0;
    int Written = 0;
    int Consumed = 0;
};
