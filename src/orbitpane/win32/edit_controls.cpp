#include "orbitpane/win32/edit_controls.h"

#include "orbitpane/win32/gpsuidlg.h"

bool CEditPathEx::PreTranslateKey(int key) {
    if (key != ui::kKeyEnter || m_pOwnerDlg == nullptr) return false;
    m_pOwnerDlg->OnRunProgram();
    m_pOwnerDlg->FocusRule();
    return true;
}
