#include "data/PackedEntry.h"

#include <QStringDecoder>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

namespace larkspan {

namespace {
// A block is never changed once made, so copies of an entry share it: the phone book keeps the
// entries as they were last read or written beside the list, and that copy costs a pointer per
// entry. The count of owners comes first, then the field ends, then the bytes.
using RefCount = std::atomic<uint32_t>;
constexpr size_t kEnds = 8;
static_assert(sizeof(RefCount) <= kEnds && alignof(RefCount) <= kEnds);
constexpr size_t kHeader = kEnds + sizeof(uint32_t) * kFieldCount;

RefCount &owners(char *block)
{
    return *std::launder(reinterpret_cast<RefCount *>(block));
}

// Reading a field is the innermost step of saving, sorting and searching: this helper, unlike a
// member function of the class, is always inlined.
inline uint32_t fieldEnd(const char *block, int field)
{
    uint32_t value;
    std::memcpy(&value, block + kEnds + sizeof(uint32_t) * static_cast<size_t>(field), sizeof value);
    return value;
}

char *allocateBlock(const std::array<QByteArrayView, kFieldCount> &fields)
{
    size_t total = 0;
    for (const QByteArrayView &f : fields)
        total += static_cast<size_t>(f.size());
    if (total == 0)
        return nullptr;
    if (total > UINT32_MAX)
        throw std::length_error("entry too large");
    auto *block = static_cast<char *>(std::malloc(kHeader + total));
    if (!block)
        throw std::bad_alloc();
    uint32_t ends[kFieldCount];
    char *out = block + kHeader;
    uint32_t offset = 0;
    for (int i = 0; i < kFieldCount; ++i) {
        const QByteArrayView &f = fields[static_cast<size_t>(i)];
        if (!f.isEmpty())
            std::memcpy(out + offset, f.data(), static_cast<size_t>(f.size()));
        offset += static_cast<uint32_t>(f.size());
        ends[i] = offset;
    }
    new (block) RefCount(1);
    std::memcpy(block + kEnds, ends, sizeof ends);
    return block;
}
} // namespace

PackedEntry::PackedEntry(const std::array<QByteArrayView, kFieldCount> &utf8Fields)
    : block_(allocateBlock(utf8Fields))
{
}

PackedEntry::PackedEntry(const Contact &contact)
{
    std::array<QByteArray, kFieldCount> encoded;
    std::array<QByteArrayView, kFieldCount> views;
    for (size_t i = 0; i < kFieldCount; ++i) {
        encoded[i] = contact[i].toUtf8();
        views[i] = encoded[i];
    }
    block_ = allocateBlock(views);
}

PackedEntry::PackedEntry(const PackedEntry &other) noexcept : block_(other.block_)
{
    if (block_)
        owners(block_).fetch_add(1, std::memory_order_relaxed);
}

PackedEntry &PackedEntry::operator=(const PackedEntry &other)
{
    if (this != &other) {
        PackedEntry copy(other);
        std::swap(block_, copy.block_);
    }
    return *this;
}

PackedEntry &PackedEntry::operator=(PackedEntry &&other) noexcept
{
    std::swap(block_, other.block_);
    return *this;
}

PackedEntry::~PackedEntry()
{
    if (block_ && owners(block_).fetch_sub(1, std::memory_order_acq_rel) == 1) {
        owners(block_).~RefCount();
        std::free(block_);
    }
}

uint32_t PackedEntry::end(int field) const
{
    return fieldEnd(block_, field);
}

const char *PackedEntry::bytes() const
{
    return block_ + kHeader;
}

QByteArrayView PackedEntry::utf8(Field field) const
{
    if (!block_)
        return {};
    const uint32_t begin = field == 0 ? 0 : fieldEnd(block_, field - 1);
    return QByteArrayView(block_ + kHeader + begin, fieldEnd(block_, field) - begin);
}

QString PackedEntry::text(Field field) const
{
    const QByteArrayView value = utf8(field);
    if (!value.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(value);
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(value);
}

void PackedEntry::setText(Field field, const QString &text)
{
    const QByteArray encoded = text.toUtf8();
    std::array<QByteArrayView, kFieldCount> views;
    for (int i = 0; i < kFieldCount; ++i)
        views[static_cast<size_t>(i)] = i == field ? QByteArrayView(encoded) : utf8(Field(i));
    PackedEntry replacement(views);
    std::swap(block_, replacement.block_);
}

Contact PackedEntry::toContact() const
{
    Contact contact;
    for (int i = 0; i < kFieldCount; ++i)
        contact[static_cast<size_t>(i)] = text(Field(i));
    return contact;
}

bool PackedEntry::operator==(const PackedEntry &other) const
{
    if (block_ == other.block_)
        return true;
    for (int i = 0; i < kFieldCount; ++i)
        if (utf8(Field(i)) != other.utf8(Field(i)))
            return false;
    return true;
}

} // namespace larkspan
