/* Stands in for the catalogue's dorvwin.exe in the Windows end-to-end test:
   reads what the real one reads through the profile functions (the serial of
   the key file in the Windows directory, MultiScreen of the catalogue INI)
   and writes it to C:\catalogue-saw.txt. */
#include <stdio.h>
#include <windows.h>

int main(void) {
    char serial[64] = "", multi[16] = "";
    GetPrivateProfileStringA("Key", "Serial", "", serial, sizeof serial, "TVDORVKY.INI");
    GetPrivateProfileStringA("Condition", "MultiScreen", "", multi, sizeof multi, "tvdorvw.ini");
    FILE* out = fopen("C:\\catalogue-saw.txt", "wb");
    if (!out) return 1;
    fprintf(out, "Serial=%s\nMultiScreen=%s\n", serial, multi);
    return fclose(out) == 0 ? 0 : 1;
}
