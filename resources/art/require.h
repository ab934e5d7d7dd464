// Refusing to write artwork that breaks its own bookkeeping: the one check every part of artgen uses.
// Part of artgen, which is built from the one translation unit generate.cpp: the drawing code keeps
// internal linkage, so this header is included there and nowhere else.
#pragma once

#include <stdexcept>
#include <string>

namespace {

void require(bool ok, const std::string &what) {
    if (!ok) throw std::runtime_error("refusing to write artwork: " + what);
}

} // namespace
