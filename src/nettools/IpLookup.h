// Name and address lookups for the IP-address tools page. They answer from the system resolver on
// a worker thread while the caller waits in a local event loop (at most 15 s), so a slow resolver
// never freezes the window; the caller keeps its plain sequential shape.
#pragma once
#include <string>

// The dotted form of the first IPv4 address of Name; "" when there is none (or Name is empty).
void GetIPFromHostName(const std::string &Name, std::string &IP);
// The host name of a dotted address; "" when it has none (or IP is empty).
void GetHostNameFromIP(const std::string &IP, std::string &Name);
