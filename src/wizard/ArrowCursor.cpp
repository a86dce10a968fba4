#include "wizard/ArrowCursor.h"

#include <QCursor>
#include <QGuiApplication>

CArrowCursor::CArrowCursor()
{
    if (QGuiApplication::overrideCursor()) {
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        m_pushed = true;
    }
}

CArrowCursor::~CArrowCursor()
{
    if (m_pushed)
        QGuiApplication::restoreOverrideCursor();
}
