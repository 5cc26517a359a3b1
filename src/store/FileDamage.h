#pragma once

#include <QString>

#include <cstdint>

namespace pelagon {

// What one damaged file of a layer costs: the file at fault by name ("closures.shx"), how many
// problems it has, how many records it leaves out or leaves without attributes, and its first
// problem (by record).
struct FileDamage {
    QString file;
    std::int64_t problems = 0;
    std::int64_t leftOut = 0;
    std::int64_t withoutAttributes = 0;
    std::int64_t firstRecord = 0;  // the record of the first problem; 0 when of none in particular
    QString firstProblem;
};

}  // namespace pelagon
