// LeakSanitizer suppressions for this test program (they matter only in sanitizer builds).
//
// - OpenImageIO 2.4's PNG reader, on a damaged file, builds its error message in a std::string
//   inside the libpng read callback and then longjmps past the string's destructor: a few dozen
//   bytes per damaged PNG are lost inside the library.
// - fontconfig keeps allocations of its configuration that it never frees; Qt's font database
//   (the overlay's text) initialises it.
// The suppressions name library frames, which only a full unwind of each allocation sees (the
// libraries have no frame pointers, so the fast unwinder stops inside libstdc++).
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

extern "C" const char* __lsan_default_suppressions() {
  return "leak:OpenImageIO_v2_4::PNGInput::PngReadCallback\n"
         "leak:OpenImageIO_v2_4::ImageInput::geterror\n"
         "leak:libfontconfig.so\n";
}
