// One Tactra at a time: a second copy would open the panel twice and play every
// gesture twice. Tactra.exe holds the mark for its whole life; the programs that
// start it again ask whether it runs first.
#pragma once

#include <windows.h>

namespace tactra {

// True when a Tactra.exe holds the mark in this session.
bool IsTactraRunning();

// The mark itself, held by Tactra.exe until the object goes (or the process ends,
// however it ends).
class TactraInstanceMark {
public:
    TactraInstanceMark() = default;
    TactraInstanceMark(const TactraInstanceMark&) = delete;
    TactraInstanceMark& operator=(const TactraInstanceMark&) = delete;
    ~TactraInstanceMark();

    // Takes the mark; false when another Tactra of this session holds it. When the
    // system cannot tell (the mutex cannot be created for another reason) Tactra
    // runs: a check that fails must not leave the user without touch.
    bool Acquire();

private:
    HANDLE mutex_ = nullptr;
};

}  // namespace tactra
