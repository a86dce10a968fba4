// A control member whose every change repaints its control, so the owner can
// write colours and positions directly as plain assignments.
#pragma once

#include <QWidget>

namespace CONTROL {

template <typename T>
class CRepainted {
public:
    CRepainted(QWidget* control, T value) : m_control(control), m_value(value) {}
    CRepainted(const CRepainted&) = delete;

    // Stores the value and asks for a repaint of the whole control.
    CRepainted& operator=(const T& value)
    {
        m_value = value;
        m_control->update();
        return *this;
    }
    CRepainted& operator=(const CRepainted& other) { return *this = other.m_value; }

    operator const T&() const { return m_value; }
    const T& Get() const { return m_value; }

private:
    QWidget* m_control;
    T m_value;
};

}  // namespace CONTROL
