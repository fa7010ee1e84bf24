#include "LibraryFixture.h"

namespace msxtest {

const msxhost::LoadedLibrary& Library() {
  static const msxhost::LoadedLibrary library(msxhost::LoadedLibrary::DefaultPath());
  return library;
}

}  // namespace msxtest
