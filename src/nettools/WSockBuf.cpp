#include "nettools/WSockBuf.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int Size) { Resize(Size); }

TBuffer::~TBuffer() { delete[] Memory; }

void TBuffer::Resize(int NewSize)
{
    if (NewSize < 1) NewSize = 1514;
    if (NewSize == Capacity) return;
    NewSize = std::max(NewSize, Written); // never drop bytes already written
    char *m = new char[std::size_t(NewSize)];
    if (Written != Consumed) std::memcpy(m, Memory, std::size_t(Written));
    delete[] Memory;
    Memory = m;
    Capacity = NewSize;
}

int TBuffer::AppendData(const void *Data, int Len)
{
    int n = std::min(Len, Capacity - Written);
    if (n <= 0) return 0;
    std::memcpy(Memory + Written, Data, std::size_t(n));
    Written += n;
    return n;
}

const char *TBuffer::PeekData(int &Len) const
{
    Len = Written - Consumed;
    return Len > 0 ? Memory + Consumed : nullptr;
}

int TBuffer::Consume(int Len)
{
    int n = std::min(std::max(Len, 0), Written - Consumed);
    Consumed += n;
    if (Consumed >= Written) {
        Written = 0;
        Consumed = 0;
    }
    return n;
}
