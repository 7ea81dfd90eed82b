// Read only by LeakSanitizer (sanitizer builds): fontconfig, under Qt's font database, keeps its
// configuration until the process ends. The report of used suppressions stays off, so that
// the program's error output holds only its own messages.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
