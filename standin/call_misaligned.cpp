// The host's calling convention for callbacks: cdecl on a stack that an MSVC-built host
// keeps only 4-byte aligned. The stack is placed at 8 mod 16 at the call, the worst
// case for a callee that assumes 16 and spills SSE registers with movaps.

#include "standin_host.h"

// int32_t morvith_standin_call_misaligned(const void* function, const uint32_t* arguments, int32_t count)
asm(R"(
    .text
    .globl _morvith_standin_call_misaligned
    .def _morvith_standin_call_misaligned; .scl 2; .type 32; .endef
_morvith_standin_call_misaligned:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 8(%ebp), %eax
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 16(,%ecx,4), %edx
    subl %edx, %esp
    andl $-16, %esp
    addl $8, %esp
    xorl %edi, %edi
1:  cmpl %ecx, %edi
    jge 2f
    movl (%esi,%edi,4), %edx
    movl %edx, (%esp,%edi,4)
    incl %edi
    jmp 1b
2:  call *%eax
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");
