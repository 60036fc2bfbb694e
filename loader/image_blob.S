/* The program image, embedded as bytes. The symbol's size lets the kernel
   bound every read of the image it is handed. */
    .section .rodata
    .globl tolvar_program_image
    .type tolvar_program_image, @object
    .balign 16
tolvar_program_image:
    .incbin TOLVAR_IMAGE_FILE
    .size tolvar_program_image, . - tolvar_program_image
    .section .note.GNU-stack, "", @progbits
