#include "app/ProcedureView.h"

#include "common/PumpMessages.h"

void CProcedureView::Pump()
{
    PumpMessages();
}

bool CProcedureView::NeedCompanionEditor()
{
    return false;
}

void CProcedureView::InstallCompanionEditor(bool) {}
