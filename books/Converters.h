#pragma once

#include "books/Book.h"
#include "books/ZipArchive.h"

#include <string>

namespace tovrin {

// One converter per format. Each takes the file's bytes (or its opened archive) and throws
// BookError, with a Russian reason, for anything it cannot read.
Book ConvertFb2(const std::string& bytes);
Book ConvertEpub(ZipArchive& archive);
Book ConvertDocx(ZipArchive& archive);
Book ConvertOdt(ZipArchive& archive);
Book ConvertHtml(const std::string& bytes);
Book ConvertPdf(const std::string& bytes);

}  // namespace tovrin
