// The check-in panel of the console: issuing, reading and cancelling the card on the encoder.

#include "frontdesk/CardWork.h"
#include "frontdesk/Tform_main.h"
#include "platform/gui/MessageBox.h"

void Tform_main::B_okClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    MessageBox::information(this, QStringLiteral("Issuing from the check-in panel is not part of this build yet."));
}

void Tform_main::BitBtn2Click()
{
    const CardWork work;
    if (!work.acquired())
        return;
    MessageBox::information(this, QStringLiteral("Reading from the check-in panel is not part of this build yet."));
}

void Tform_main::B_cancelClick()
{
    const CardWork work;
    if (!work.acquired())
        return;
    MessageBox::information(this, QStringLiteral("Cancelling from the check-in panel is not part of this build yet."));
}
