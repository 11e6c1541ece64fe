; Access rights of the program folder and of the files the setup puts in it.
;
; PloverCmd keeps PloverCmd.ini beside itself and saves it through a
; temporary file renamed over the old one, so every user must be able to
; create, rewrite and delete files in the folder. What no ordinary user may
; do is change or delete the programs, or put a program or library there that
; the others would run: both programs load libraries from their own folder
; first. So:
;
;   the folder    Users: list it and add files, nothing else (no delete of
;                 others' files through the folder, no subfolders);
;                 files made there later: Users and their owner may read,
;                 write and delete them, but nobody may run them;
;                 Administrators and SYSTEM: full control of the folder, of
;                 later files everything but running them.
;   the programs  Administrators and SYSTEM: full control; Users: read and run.
;
; "Owner rights" (S-1-3-4) takes away the implicit right of a file's owner to
; change its access list, so a user cannot make a file of their own runnable.
; Each list is protected: nothing is inherited from the parent folder, so the
; rights are the same in Program Files and in any other folder given with /D=.

!define RIGHTS_FOLDER "D:P(A;;0x1200AB;;;BU)(A;OIIO;0x13019F;;;BU)(A;OIIO;0x13019F;;;S-1-3-4)(A;CI;FA;;;SY)(A;OIIO;0x1F01DF;;;SY)(A;CI;FA;;;BA)(A;OIIO;0x1F01DF;;;BA)"
!define RIGHTS_PROGRAM "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200A9;;;BU)"

; Puts the access list in SDDL on a file or folder. A volume without access
; lists (FAT) refuses; the setup goes on and says so.
!macro SetRights PATH SDDL
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  Push $R4
  ; SDDL_REVISION_1
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${SDDL}", i 1, *p .R1, p 0) i .R0'
  ${If} $R0 = 0
    DetailPrint "Права на ${PATH} не заданы: строка прав не разобрана"
  ${Else}
    System::Call 'advapi32::GetSecurityDescriptorDacl(p R1, *i .R2, *p .R3, *i .R4) i .R0'
    ; SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION
    System::Call 'advapi32::SetNamedSecurityInfoW(w "${PATH}", i 1, i 0x80000004, p 0, p 0, p R3, p 0) i .R0'
    ${If} $R0 <> 0
      DetailPrint "Права на ${PATH} не заданы: ошибка $R0"
    ${EndIf}
    System::Call 'kernel32::LocalFree(p R1)'
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
!macroend
