#pragma once
#include <windows.h>
#include <cstdio>
namespace mfprof {
inline double g[16];
inline const char* names[16] = {"readfile","readerinput","cocreate","parse","startEl","finish","addrecs","select","resultAdd","dtor","guid","readlocal_total","readserver_total","handlerRecord","attrs",""};
inline long long Now() { LARGE_INTEGER t; ::QueryPerformanceCounter(&t); return t.QuadPart; }
inline double Ms(long long a, long long b) { LARGE_INTEGER f; ::QueryPerformanceFrequency(&f); return 1000.0 * (b - a) / f.QuadPart; }
struct Scope { int i; long long s; Scope(int k) : i(k), s(Now()) {} ~Scope() { g[i] += Ms(s, Now()); } };
inline void Dump() { for (int i = 0; i < 15; ++i) std::fprintf(stderr, "%s=%.1f ", names[i], g[i]); std::fprintf(stderr, "\n"); for (auto& x : g) x = 0; }
}
