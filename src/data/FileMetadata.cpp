// Copying the owner, group, mode, ACL and extended attributes of a file onto its replacement.
//
// The ACL is copied as what the kernel keeps it as, the extended attribute
// "system.posix_acl_access", with the flistxattr/fgetxattr/fsetxattr calls that copy every other
// attribute too, rather than through libacl: one loop copies all of it byte for byte (an NFSv4
// ACL, which libacl does not know, included), libacl would only decode and encode the same bytes
// and copy nothing else, and the data layer links no library beyond Qt Core and the C library.
// The one place that needs the ACL's entries, the check that the old owner keeps access, reads
// them from those bytes (a fixed little-endian format: a version, then tag, permissions and id).
#include "data/FileMetadata.h"

#include <QList>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace larkspan {

namespace {

constexpr char kAccessAcl[] = "system.posix_acl_access";

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A file system without extended attributes, or one this user may not set (security.* and
// trusted.* need privileges): the file is saved without them rather than not at all.
bool mayGoWithout(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM || error == EACCES;
}

// Calls `get(buffer, size)` until the buffer is large enough for an answer that may grow
// between the call that sizes it and the one that fills it.
template <typename Get> bool readGrowing(QByteArray *out, int *error, Get get)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t needed = get(nullptr, 0);
        if (needed < 0) {
            *error = errno;
            return false;
        }
        out->resize(needed);
        const ssize_t got = needed == 0 ? 0 : get(out->data(), static_cast<size_t>(needed));
        if (got >= 0) {
            out->truncate(got);
            return true;
        }
        if (errno != ERANGE) {
            *error = errno;
            return false;
        }
    }
    *error = ERANGE;
    return false;
}

QList<QByteArray> attributeNames(const QByteArray &list)
{
    QList<QByteArray> names = list.split('\0');
    names.removeAll(QByteArray());
    return names;
}

QString userName(uid_t uid)
{
    if (const passwd *entry = ::getpwuid(uid))
        return QString::fromLocal8Bit(entry->pw_name);
    return QStringLiteral("user %1").arg(uid);
}

// The groups `uid` is in according to the group database; none for a user it does not know,
// so that such an owner is judged by what the file grants everyone.
std::vector<gid_t> groupsOf(uid_t uid)
{
    const passwd *entry = ::getpwuid(uid);
    if (!entry)
        return {};
    const QByteArray name(entry->pw_name);
    const gid_t primary = entry->pw_gid;
    int count = 32;
    std::vector<gid_t> groups;
    for (int attempt = 0; attempt < 4; ++attempt) {
        groups.resize(static_cast<size_t>(count));
        if (::getgrouplist(name.constData(), primary, groups.data(), &count) >= 0) {
            groups.resize(static_cast<size_t>(count));
            return groups;
        }
    }
    return {primary};
}

// Whether `uid` (in `groups`) may do all of `wanted` (r = 4, w = 2) to a file of this owner,
// group, mode and ACL, checked in the kernel's order: owner, named user, groups, others. Within
// the groups, one matching entry must grant all of it.
bool grants(uid_t uid, const std::vector<gid_t> &groups, const struct stat &info, const QByteArray &acl,
            int wanted)
{
    auto has = [wanted](unsigned permissions) { return (int(permissions) & wanted) == wanted; };
    auto member = [&groups](gid_t gid) {
        return std::find(groups.begin(), groups.end(), gid) != groups.end();
    };
    if (uid == 0 || uid == info.st_uid)
        return uid == 0 || has((info.st_mode >> 6) & 7);

    struct Entry
    {
        quint16 tag;
        quint16 permissions;
        quint32 id;
    };
    std::vector<Entry> entries;
    if (acl.size() >= 4 && (acl.size() - 4) % 8 == 0 && qFromLittleEndian<quint32>(acl.constData()) == 2)
        for (qsizetype at = 4; at < acl.size(); at += 8)
            entries.push_back({qFromLittleEndian<quint16>(acl.constData() + at),
                               qFromLittleEndian<quint16>(acl.constData() + at + 2),
                               qFromLittleEndian<quint32>(acl.constData() + at + 4)});
    if (entries.empty())
        return member(info.st_gid) ? has((info.st_mode >> 3) & 7) : has(info.st_mode & 7);

    enum : quint16 { NamedUser = 0x02, OwningGroup = 0x04, NamedGroup = 0x08, Mask = 0x10, Others = 0x20 };
    unsigned mask = 7;
    for (const Entry &entry : entries)
        if (entry.tag == Mask)
            mask = entry.permissions;
    for (const Entry &entry : entries)
        if (entry.tag == NamedUser && entry.id == uid)
            return has(entry.permissions & mask);
    bool inAGroup = false;
    for (const Entry &entry : entries) {
        const bool matches = (entry.tag == OwningGroup && member(info.st_gid)) ||
                             (entry.tag == NamedGroup && member(static_cast<gid_t>(entry.id)));
        if (matches && has(entry.permissions & mask))
            return true;
        inAGroup = inAGroup || matches;
    }
    if (inAGroup)
        return false;
    for (const Entry &entry : entries)
        if (entry.tag == Others)
            return has(entry.permissions);
    return false;
}

} // namespace

bool readFileMetadata(const QByteArray &path, const struct stat &info, FileMetadata *metadata, int *error)
{
    metadata->owner = info.st_uid;
    metadata->group = info.st_gid;
    metadata->mode = info.st_mode & 07777;
    metadata->attributes.clear();
    QByteArray list;
    if (!readGrowing(&list, error,
                     [&](char *buffer, size_t size) { return ::listxattr(path.constData(), buffer, size); }))
        return *error == ENOTSUP || *error == EOPNOTSUPP;
    for (const QByteArray &name : attributeNames(list)) {
        QByteArray value;
        if (readGrowing(&value, error, [&](char *buffer, size_t size) {
                return ::getxattr(path.constData(), name.constData(), buffer, size);
            }))
            metadata->attributes.emplace_back(name, value);
        else if (*error != ENODATA && !mayGoWithout(*error))
            return false;
    }
    return true;
}

QString applyFileMetadata(int fd, const FileMetadata &old, const QString &shownPath)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return errnoText(errno);
    // Only root (or CAP_CHOWN) may give a file away, and only a member of a group may give a file
    // to it. Where this user may not, the file stays theirs or in their group, which is fine as
    // long as the old owner can still use it (checked below).
    int refusal = 0;
    if (info.st_uid != old.owner || info.st_gid != old.group) {
        if (::fchown(fd, old.owner, old.group) != 0) {
            if (errno != EPERM && errno != EINVAL)
                return errnoText(errno);
            refusal = errno;
            if (info.st_gid != old.group && ::fchown(fd, uid_t(-1), old.group) != 0 && errno != EPERM &&
                errno != EINVAL)
                return errnoText(errno);
        }
    }

    // A default ACL of the folder, which the new file inherited and the old one did not have,
    // would let in whoever it names.
    const auto hasOwn = [&old](const char *name) {
        return std::any_of(old.attributes.begin(), old.attributes.end(),
                           [name](const auto &attribute) { return attribute.first == name; });
    };
    if (!hasOwn(kAccessAcl))
        (void)::fremovexattr(fd, kAccessAcl);
    // After the fchown, which clears the set-group-ID bit, and before the ACL, whose mask the
    // group bits of the mode are.
    if (::fchmod(fd, old.mode) != 0)
        return errnoText(errno);
    for (const auto &[name, value] : old.attributes)
        if (::fsetxattr(fd, name.constData(), value.constData(), static_cast<size_t>(value.size()), 0) != 0 &&
            !mayGoWithout(errno))
            return errnoText(errno);

    if (refusal == 0)
        return {};
    if (::fstat(fd, &info) != 0)
        return errnoText(errno);
    QByteArray acl;
    int aclError = 0;
    if (!readGrowing(&acl, &aclError,
                     [fd](char *buffer, size_t size) { return ::fgetxattr(fd, kAccessAcl, buffer, size); }))
        acl.clear();
    // What the owner could do before: read and write, or read alone.
    const int wanted = (old.mode >> 6) & 6;
    if (info.st_uid == old.owner || grants(old.owner, groupsOf(old.owner), info, acl, wanted))
        return {};
    return QStringLiteral("\"%1\" belongs to %2, and a copy saved by %3 cannot be given back to %2 (%4): %2 "
                          "could no longer %5 it. The file is left as it was.")
        .arg(shownPath, userName(old.owner), userName(::geteuid()), errnoText(refusal),
             wanted == 4   ? QStringLiteral("read")
             : wanted == 2 ? QStringLiteral("write")
                           : QStringLiteral("read and write"));
}

} // namespace larkspan
