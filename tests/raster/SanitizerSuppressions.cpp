// LeakSanitizer suppressions for this test program (used only in sanitizer builds).
//
// OpenImageIO 2.4's PNG reader, on a truncated file, builds an error message in a std::string
// inside its libpng read callback and then calls png_error, which longjmps past the string's
// destructor: a few dozen bytes per damaged PNG are lost inside the library. Nothing of ours.
// The library has no frame pointers, so the fast unwinder's stack ends at the geterror frame that
// made the string; both frames are named.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:OpenImageIO_v2_4::PNGInput::PngReadCallback\n"
         "leak:OpenImageIO_v2_4::ImageInput::geterror\n";
}
