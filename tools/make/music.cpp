// The demo's module, the music of a show made without --music, built into the program so
// that it needs no demo folder beside it.
asm(".section .rodata\n"
    ".global demoModule\n"
    "demoModule:\n"
    ".incbin \"" TOLVANE_DEMO_MODULE
    "\"\n"
    ".global demoModuleEnd\n"
    "demoModuleEnd:\n"
    ".previous\n");
