// Diagnostic trace of the skinning manager: compiled in only with the
// QUARRION_SKIN_TRACE build option; the released program carries no trace text.
#pragma once

#if defined(QUARRION_SKIN_TRACE) && QUARRION_SKIN_TRACE
void SkinTrace(const char* format, ...);
#define SKIN_TRACE(...) SkinTrace(__VA_ARGS__)
#else
#define SKIN_TRACE(...) ((void)0)
#endif
