#include "app/userdatafolder.h"

// OpenVPN for Windows needs the libraries beside its openvpn.exe, so a link or a copy of the program
// alone would not run; the user puts the program in the data folder.
void linkSystemOpenVpn()
{
}
