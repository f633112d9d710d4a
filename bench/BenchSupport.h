// What the benchmark programs share: a clock that two processes agree on, medians, the peak
// resident memory, the floors that the figures are held against, and the output line.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace larkspan::bench {

// CLOCK_MONOTONIC in nanoseconds: the same clock in every process, so a child can report the
// moment its window was shown and the parent can subtract the moment it started the child.
int64_t monotonicNs();

// Milliseconds taken by one call of `run`.
double timeMs(const std::function<void()> &run);

// The middle value (the mean of the two middle ones for an even count); 0 for none.
double median(std::vector<double> values);

// Peak resident memory of this process so far (VmHWM), in KiB; -1 when unknown.
long peakResidentKiB();

// The least any program can do to load a file: read it into memory and find its line ends with
// memchr. Returns the number of lines, or -1 when the file cannot be read.
long long readAndSplitLines(const QString &path);

// The least any program can do to replace a file safely: write the bytes to a new file in the
// same folder, fsync it and rename it over `path`. False on any failure.
bool writeSyncRename(const QString &path, const QByteArray &bytes);

// One machine-readable line: `name N value unit ratio`.
QByteArray figureLine(const QString &name, long long count, double value, const QString &unit, double ratio);

} // namespace larkspan::bench
