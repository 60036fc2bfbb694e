/* The two advertising pages, assembled in from their source files; the image
   builder writes them into the const data as byte sets. */
    .section .rodata
    .globl tolvar_ad_page_2, tolvar_ad_page_2_size, tolvar_ad_page_4, tolvar_ad_page_4_size
    .hidden tolvar_ad_page_2, tolvar_ad_page_2_size, tolvar_ad_page_4, tolvar_ad_page_4_size
    .balign 4
tolvar_ad_page_2_size:
    .long tolvar_ad_page_2_end - tolvar_ad_page_2
tolvar_ad_page_4_size:
    .long tolvar_ad_page_4_end - tolvar_ad_page_4
tolvar_ad_page_2:
    .incbin TOLVAR_AD_PAGE_2
tolvar_ad_page_2_end:
tolvar_ad_page_4:
    .incbin TOLVAR_AD_PAGE_4
tolvar_ad_page_4_end:
    .section .note.GNU-stack, "", @progbits
