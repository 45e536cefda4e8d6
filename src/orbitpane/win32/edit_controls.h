// The edit controls that know the dialog owning them: the APN and SUPL server fields of the
// settings dialog, and the program-path field of the GPS dialog, which turns Enter into a
// request to run the program named in it.
//
// A control object is bound to its control id once the dialog exists (Bind); from then on it
// sees every key pressed in the field before the field does, through the kit's key hook.
#pragma once

#include "platform/ui/dialog.h"

class CGPSUIDlg;
class CGPSSetupDlg;

template <typename Owner>
class COwnerEdit {
  public:
    virtual ~COwnerEdit() = default;

    void SetOwnerDlg(Owner* owner) { m_pOwnerDlg = owner; }
    Owner* OwnerDlg() const { return m_pOwnerDlg; }

    // Installs the key filter on control `id` of `dialog`.
    void Bind(ui::Dialog& dialog, int id) {
        dialog.SetKeyHook(id, [this](int key) { return PreTranslateKey(key); });
    }

  protected:
    // True when the key was handled and must not reach the field.
    virtual bool PreTranslateKey(int key) {
        (void)key;
        return false;
    }

    Owner* m_pOwnerDlg = nullptr;
};

// The APN field (6014) of the settings dialog: every key is the field's own.
class CEditAPNEx : public COwnerEdit<CGPSSetupDlg> {};

// The SUPL server field (6015) of the settings dialog: every key is the field's own.
class CEditSUPLSrvEx : public COwnerEdit<CGPSSetupDlg> {};

// The program-path field (6005) of the GPS dialog.
class CEditPathEx : public COwnerEdit<CGPSUIDlg> {
  protected:
    // Enter runs the program and moves the focus to Start (Stop while a session runs); the
    // field never sees it.
    bool PreTranslateKey(int key) override;
};
