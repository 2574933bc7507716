#pragma once

// Whether the data list keeps its newest row in view as rows arrive. On by default; scrolling
// away from the last row pauses it so the rows can be read, End or the Follow command resumes.
//
// Thread: the user-interface thread.

class FollowNewest {
public:
    [[nodiscard]] bool following() const { return m_following; }
    void toggle() { m_following = !m_following; }
    // The user moved the list; `lastRowVisible` tells where it ended.
    void userScrolled(bool lastRowVisible) {
        if (!lastRowVisible) m_following = false;
    }
    void endPressed() { m_following = true; }

private:
    bool m_following = true;
};
