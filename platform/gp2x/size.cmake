# Prints the size of the stripped program after each build.
file(SIZE ${FILE} size)
math(EXPR kib "(${size} + 1023) / 1024")
message(STATUS "nyra1.gpe: ${size} bytes (${kib} KiB)")
