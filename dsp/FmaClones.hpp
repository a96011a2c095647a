// The attribute that gives a function a clone using the processor's fused multiply-add where it has one.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
// The smoothers' fused multiply-adds are a library call on baseline x86-64; where the processor has FMA a
// clone of these functions uses the instruction. Both give the same exactly rounded results. Not under
// ThreadSanitizer: the clones' resolver runs before the sanitizer's runtime is up.
#define TESSARAY_FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define TESSARAY_FMA_CLONES
#endif
