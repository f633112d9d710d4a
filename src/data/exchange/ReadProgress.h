// How far a reader is in the text it reads, told every so many cards or rows, and its way to be
// stopped part-way (the user's Cancel while a big file is read on another thread).
#pragma once

#include <QtGlobal>

#include <functional>

namespace larkspan {

// Told the bytes read so far and the text's size; returns false to stop the reading, which then
// gives no contacts at all.
using ReadProgress = std::function<bool(qint64 done, qint64 total)>;

// How many lines or rows a reader goes between two reports: a report costs a call.
constexpr int kProgressEvery = 512;

} // namespace larkspan
