#include "ui/pages/InstallBase.h"

CDlgInstallBase::CDlgInstallBase()
{
}

CDlgInstallBase::~CDlgInstallBase()
{
}
