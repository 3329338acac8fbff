#pragma once

#include <QString>

class QPrinter;

namespace tovrin {

// The PDF file a print job goes to where no printer is installed: named after the document,
// in the document's folder, or in `home` when that folder cannot be written (or the
// document has no file yet).
QString DefaultPdfFile(const QString& documentPath, const QString& home);

// Names the job after the document's file (not its whole path) and, where no printer is
// installed, sends it to the default PDF file, so that the print dialog offers a file that
// can be written.
void PreparePrinter(QPrinter& printer, const QString& documentPath);

// Why the job just sent to `printer` did not go out, for the user; empty when it went.
QString PrintFailure(const QPrinter& printer);

}  // namespace tovrin
