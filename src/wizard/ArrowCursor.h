// The normal pointer over a window shown while the wizard waits (the upgrade
// check shows its wait cursor): pushed for the guard's life, and only when a
// wait cursor is on.
#pragma once

class CArrowCursor {
public:
    CArrowCursor();
    ~CArrowCursor();
    CArrowCursor(const CArrowCursor&) = delete;
    CArrowCursor& operator=(const CArrowCursor&) = delete;

private:
    bool m_pushed = false;
};
