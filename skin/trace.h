// Diagnostic trace of the skinning manager: compiled in only with the
// QUARRION_SKIN_TRACE build option; the released program carries no trace text.
#pragma once

#if defined(QUARRION_SKIN_TRACE) && QUARRION_SKIN_TRACE
void SkinTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Handles print as %X, as the trace texts have them.
#define SKIN_HANDLE(h) static_cast<unsigned>(reinterpret_cast<UINT_PTR>(h))
#define SKIN_TRACE(...) SkinTrace(__VA_ARGS__)
#else
#define SKIN_TRACE(...) ((void)0)
#define SKIN_HANDLE(h) 0
#endif
