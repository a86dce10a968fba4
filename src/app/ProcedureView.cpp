#include "app/ProcedureView.h"

#include "database/PumpMessages.h"

void CProcedureView::Pump()
{
    PumpMessages();
}

bool CProcedureView::NeedCompanionEditor()
{
    return false;
}

void CProcedureView::InstallCompanionEditor(bool)
{
}
