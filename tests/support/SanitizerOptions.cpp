// Sanitizer settings of every test program, read only in sanitizer builds (nothing calls these
// functions: the runtime looks them up by name, which is why this file is linked into each test
// program as an object of its own rather than taken from a library).
//
// LeakSanitizer suppressions, for leaks inside libraries, none of ours:
// - OpenImageIO 2.4's PNG reader, on a damaged or truncated file, builds its error message in a
//   std::string inside the libpng read callback and then calls png_error, which longjmps past the
//   string's destructor: a few dozen bytes per damaged PNG are lost.
// - fontconfig, under Qt's font database, keeps its configuration until the process ends.
// The OpenImageIO frames are named, and the library has no frame pointers: the fast unwinder would
// stop inside libstdc++ before reaching them, so allocations are unwound in full.
// The report of used suppressions stays off, so that a program's error output holds only its own
// messages.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:OpenImageIO_v2_4::PNGInput::PngReadCallback\n"
         "leak:OpenImageIO_v2_4::ImageInput::geterror\n"
         "leak:libfontconfig.so\n";
}

extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
