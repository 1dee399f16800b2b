#pragma once

// Rates beyond the termios constants, through the kernel's termios2. The
// kernel's <asm/termbits.h> and glibc's <termios.h> both define struct
// termios, so this interface names neither: only its own file sees the
// kernel's header.
namespace quorvane {

// Sets both directions of the line on fd to rate bits per second with
// BOTHER, every other attribute kept as the driver holds it. False when the
// driver refuses the call.
bool Termios2SetRate(int fd, unsigned rate);

// The rates the driver holds now; input 0 means the same as output. False
// when the driver cannot tell.
bool Termios2Rates(int fd, unsigned* output, unsigned* input);

} // namespace quorvane
