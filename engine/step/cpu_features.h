#pragma once

// The vector instruction sets the step kernels may use, as this CPU and the
// operating system offer them: an instruction set counts only when the CPU
// has it and the OS saves its registers on a thread switch (XCR0).
struct CpuFeatures {
  bool sse2 = false;
  bool avx2 = false;
  bool avx512 = false;  // AVX-512 F and BW, the subsets the kernel uses
};

// Asks CPUID (and XGETBV) once per call; cheap, but callers keep the result.
// On a CPU that is not x86 every field is false.
CpuFeatures DetectCpuFeatures();
