#include "vendorui/venderdialog.h"

CVenderDialog::CVenderDialog(int templateId, VenderSession session)
    : platform::Dialog(templateId), m_runner(new CVenderRunner(std::move(session), this))
{
}

bool CVenderDialog::OnInitDialog()
{
    const bool result = platform::Dialog::OnInitDialog();
    BeforeOpening();
    m_runner->Open([this] { AfterOpening(); });
    return result;
}

void CVenderDialog::OnDestroy()
{
    platform::Dialog::OnDestroy();
    m_runner->Close();
}
