; One install of Tessaline per machine: the setup program refuses, with status 7, while the
; Windows Installer package's product (any version: found by its upgrade code, which the
; build passes as MSI_UPGRADE_CODE) is installed. Remove that product, or keep deploying it.
!macro RefuseBesideTheMsiProduct
  System::Call 'msi::MsiEnumRelatedProductsW(w "{${MSI_UPGRADE_CODE}}", i 0, i 0, w .r0) i .r1'
  ${If} $1 == 0
    MessageBox MB_ICONSTOP "Tessaline is already installed from its Windows Installer package \
        (product $0). Remove it in Apps or with msiexec /x $0, or upgrade it with a newer \
        package." /SD IDOK
    SetErrorLevel 7
    Quit
  ${EndIf}
!macroend
