// For programs that draw text and run under the leak checker: the font libraries under Pango
// keep caches for the life of the process, and Pango matches fonts on threads of its own whose
// results it never hands back. Those blocks are theirs, not the program's; the leak checker is
// told to leave them out. Linked into the test programs, tools and benchmarks that draw text;
// without the leak checker the functions are never called.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libpangoft2-1.0.so\n";
}

// Nor does it list the suppressions it used, which would land in the programs' output.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_options() {
  return "print_suppressions=0";
}
