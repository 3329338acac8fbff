#include "dialogs/PrintOutput.h"

#include <QDir>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>

namespace tovrin {

QString DefaultPdfFile(const QString& documentPath, const QString& home) {
    const QFileInfo document(documentPath);
    QString base = document.completeBaseName();
    if (documentPath.isEmpty() || base.isEmpty()) base = QStringLiteral("Документ");
    const QFileInfo folder(document.absolutePath());
    const bool folderUsable = !documentPath.isEmpty() && folder.isDir() && folder.isWritable();
    return QDir(folderUsable ? folder.absoluteFilePath() : home)
        .filePath(base + QStringLiteral(".pdf"));
}

void PreparePrinter(QPrinter& printer, const QString& documentPath) {
    printer.setDocName(documentPath.isEmpty() ? QStringLiteral("Документ")
                                              : QFileInfo(documentPath).fileName());
    if (!QPrinterInfo::availablePrinters().isEmpty()) return;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(DefaultPdfFile(documentPath, QDir::homePath()));
}

QString PrintFailure(const QPrinter& printer) {
    if (printer.printerState() != QPrinter::Error) return {};
    if (printer.outputFormat() == QPrinter::PdfFormat)
        return QStringLiteral("Не удалось напечатать: файл %1 не записан")
            .arg(printer.outputFileName());
    return QStringLiteral("Не удалось напечатать на принтере %1").arg(printer.printerName());
}

}  // namespace tovrin
