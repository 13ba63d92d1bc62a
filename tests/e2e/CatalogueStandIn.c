/* Stands in for the catalogue's dorvwin.exe in the Windows end-to-end test:
   reads what the real one reads through the profile functions (the serial of
   the key file in the Windows directory, MultiScreen of the catalogue INI)
   and writes it to C:\catalogue-saw.txt.

   With --redirected it reads them as Windows lets an old 32-bit program
   without a manifest read them (the real catalogue is one): its own copy
   under %LOCALAPPDATA%\VirtualStore\Windows when there is one, else the file
   in the Windows directory. Built as such a 32-bit image too, which the
   launcher inspects. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

static void catalogue_file(const char* name, int redirected, char* path, size_t size) {
    char dir[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", dir, sizeof dir);
    if (redirected && n > 0 && n < sizeof dir) {
        snprintf(path, size, "%s\\VirtualStore\\Windows\\%s", dir, name);
        if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return;
    }
    GetWindowsDirectoryA(dir, sizeof dir);
    snprintf(path, size, "%s\\%s", dir, name);
}

int main(int argc, char** argv) {
    int redirected = argc > 1 && strcmp(argv[1], "--redirected") == 0;
    char key[2 * MAX_PATH], ini[2 * MAX_PATH], serial[64] = "", multi[16] = "";
    catalogue_file("TVDORVKY.INI", redirected, key, sizeof key);
    catalogue_file("tvdorvw.ini", redirected, ini, sizeof ini);
    GetPrivateProfileStringA("Key", "Serial", "", serial, sizeof serial, key);
    GetPrivateProfileStringA("Condition", "MultiScreen", "", multi, sizeof multi, ini);
    FILE* out = fopen("C:\\catalogue-saw.txt", "wb");
    if (!out) return 1;
    fprintf(out, "Serial=%s\nMultiScreen=%s\n", serial, multi);
    return fclose(out) == 0 ? 0 : 1;
}
