/* Exits 0 when this machine executes 32-bit x86 user code, 1 when it does not.
 *
 * Starting an i386 program is no answer: where a qemu-user entry is registered in
 * binfmt_misc, it "works" through emulation at a minute per Wine process. So the probe
 * far-jumps from 64-bit code into the kernel's 32-bit user code segment and runs one
 * instruction there: a kernel without IA-32 emulation faults on the jump (SIGSEGV), one
 * with it runs the ud2 and raises SIGILL. */
#define _GNU_SOURCE
#include <setjmp.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

#define USER32_CS 0x23

static sigjmp_buf back;

static void on_signal(int signal_number) { siglongjmp(back, signal_number); }

int main(void) {
    unsigned char* code = mmap(NULL, 4096, PROT_READ | PROT_WRITE | PROT_EXEC,
                               MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    if (code == MAP_FAILED) {
        perror("ia32_probe: mmap");
        return 1;
    }
    code[0] = 0x0f; /* ud2 */
    code[1] = 0x0b;

    /* The 32-bit code runs on the truncated 64-bit stack pointer, so the signal frame
     * needs a stack of its own. */
    static char signal_stack[65536];
    stack_t stack = {.ss_sp = signal_stack, .ss_size = sizeof signal_stack};
    sigaltstack(&stack, NULL);
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    action.sa_flags = SA_ONSTACK;
    sigaction(SIGSEGV, &action, NULL);
    sigaction(SIGILL, &action, NULL);
    sigaction(SIGBUS, &action, NULL);

    struct {
        uint32_t offset;
        uint16_t selector;
    } __attribute__((packed)) target = {(uint32_t)(uintptr_t)code, USER32_CS};

    const int caught = sigsetjmp(back, 1);
    if (caught != 0) {
        const int runs = caught == SIGILL;
        printf("%s\n", runs ? "native" : "emulated");
        return runs ? 0 : 1;
    }
    __asm__ volatile("ljmp *%0" : : "m"(target));
    return 1;
}
