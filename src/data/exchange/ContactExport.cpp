#include "data/exchange/ContactExport.h"

#include "data/NumbersFile.h"
#include "data/exchange/VCard.h"

#include <QBuffer>
#include <QFileInfo>

namespace larkspan {

namespace {

constexpr qsizetype kChunkBytes = qsizetype(1) << 20;
constexpr char kUtf8ByteOrderMark[] = "\xEF\xBB\xBF";

void appendCsvField(QByteArray &out, QByteArrayView utf8)
{
    const bool quoted = utf8.contains(',') || utf8.contains('"') || utf8.contains('\r') ||
                        utf8.contains('\n') || utf8.startsWith(' ') || utf8.endsWith(' ') ||
                        utf8.startsWith('\t') || utf8.endsWith('\t');
    if (!quoted) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (const char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

template <typename ValueOf> void appendCsvRow(QByteArray &out, ValueOf &&valueOf)
{
    for (int column = 0; column < kFieldCount; ++column) {
        if (column > 0)
            out.append(',');
        appendCsvField(out, valueOf(column));
    }
    out.append("\r\n");
}

bool writeChunk(QIODevice &out, QByteArray &chunk, QString *error)
{
    const qint64 written = out.write(chunk);
    const bool ok = written == chunk.size();
    if (!ok && error)
        *error = written < 0 ? out.errorString() : QStringLiteral("The file could not be written completely");
    chunk.clear();
    return ok;
}

} // namespace

ExportFormat exportFormatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("vcf") || suffix == QLatin1String("vcard"))
        return ExportFormat::VCard;
    if (suffix == QLatin1String("csv"))
        return ExportFormat::Csv;
    return ExportFormat::NumbersFile;
}

bool writeContacts(QIODevice &out, ExportFormat format, const std::vector<PackedEntry> &entries,
                   QString *error, const ExportProgress &progress)
{
    if (format == ExportFormat::NumbersFile) {
        const bool ok = writeEntries(out, entries, error);
        if (ok && progress)
            progress(qsizetype(entries.size()));
        return ok;
    }
    QByteArray chunk;
    chunk.reserve(kChunkBytes + 4096);
    if (format == ExportFormat::Csv) {
        chunk.append(kUtf8ByteOrderMark);
        appendCsvRow(chunk, [](int column) { return fieldHeader(fieldOfColumn(column)).toUtf8(); });
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const PackedEntry &entry = entries[i];
        if (format == ExportFormat::Csv)
            appendCsvRow(chunk, [&entry](int column) { return entry.utf8(fieldOfColumn(column)); });
        else
            chunk.append(encodeVCard(entry.toContact()));
        if (chunk.size() >= kChunkBytes) {
            if (!writeChunk(out, chunk, error))
                return false;
            if (progress)
                progress(qsizetype(i + 1));
        }
    }
    if (!chunk.isEmpty() && !writeChunk(out, chunk, error))
        return false;
    if (progress)
        progress(qsizetype(entries.size()));
    return true;
}

QByteArray encodeContacts(ExportFormat format, const std::vector<PackedEntry> &entries)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeContacts(buffer, format, entries, nullptr);
    return bytes;
}

SaveResult exportContacts(const QString &path, ExportFormat format, const std::vector<PackedEntry> &entries,
                          const ExportProgress &progress)
{
    return replaceFile(path, [&](QIODevice &out, QString *error) {
        return writeContacts(out, format, entries, error, progress);
    });
}

} // namespace larkspan
