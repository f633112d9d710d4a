// One contact stored compactly: a single heap block holding the end offsets of the sixteen
// fields followed by their UTF-8 bytes. A phone book of a million entries costs little more
// than its file; a QString is built only when a field is shown or read. Copies share the block
// (it never changes; setText makes a new one), so a copy of the whole list is cheap.
#pragma once

#include "data/Contact.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

namespace larkspan {

class PackedEntry
{
public:
    PackedEntry() = default; // every field empty, no allocation
    explicit PackedEntry(const std::array<QByteArrayView, kFieldCount> &utf8Fields);
    explicit PackedEntry(const Contact &contact);
    PackedEntry(const PackedEntry &other) noexcept;
    PackedEntry(PackedEntry &&other) noexcept : block_(std::exchange(other.block_, nullptr)) {}
    PackedEntry &operator=(const PackedEntry &other);
    PackedEntry &operator=(PackedEntry &&other) noexcept;
    ~PackedEntry();

    QByteArrayView utf8(Field field) const;
    // The value exactly: a U+FEFF at its start is kept (QString::fromUtf8 would drop it as a
    // byte-order mark, and a save would then lose it).
    QString text(Field field) const;
    void setText(Field field, const QString &text);

    Contact toContact() const;
    // Asks the processor to fetch the block ahead of a utf8() call soon: a pass over rows in an
    // order of their own waits on memory for each block otherwise.
    void prefetch() const
    {
        if (block_) {
            __builtin_prefetch(block_);
            __builtin_prefetch(block_ + 64);
        }
    }
    bool operator==(const PackedEntry &other) const;

private:
    // The block starts with its count of owners and kFieldCount end offsets (relative to the
    // byte area).
    uint32_t end(int field) const;
    const char *bytes() const;

    char *block_ = nullptr;
};

} // namespace larkspan
