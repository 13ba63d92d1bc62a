#pragma once
// Starting the catalogue's programs and making a data set the active one;
// what goes wrong is told to the user in a message box over owner.

#include <string>
#include <string_view>

class QWidget;

namespace app {

// Starts folder\program after setting the catalogue's multi-screen switch in
// its INI file (in the working directory); a missing program starts nothing.
void StartCatalogueProgram(QWidget* owner, std::string_view folder, std::string_view program);

// Starts the setup program the user picks, looking first in the folder.
void StartChosenSetup(QWidget* owner, std::string_view folder);

// Copies the key file over the active one; true when copied. A key file that
// is missing says nothing here (the row's hint shows it); one that is there
// but could not be copied is told.
bool ActivateKeyFile(QWidget* owner, const std::string& source, const std::string& target);

} // namespace app
