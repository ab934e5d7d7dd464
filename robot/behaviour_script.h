// The robot's whole performance: 37 rows of entries (code, first argument, second argument).
#pragma once

#include <cstdint>

constexpr int kScriptRows = 37;
constexpr int kScriptRowInts = 50;

enum ScriptCode : int32_t { LoopEntry = 90, TurnEntry = 94, GotoEntry = 99 };

extern const int32_t BehaviourScript[kScriptRows][kScriptRowInts];
