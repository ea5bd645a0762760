// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <array>

// The object names of the windows and their controls, by role. The names are the controls' own
// (kind plus number: "Command1", "Text2", ...); our code and the tests never spell them out but
// say which control they mean: objectName::LoadButton, not "Command1".
namespace norvane::objectName {

// The main window and its controls.
inline const QString MainWindow = QStringLiteral("Form1");
inline const QString MessageList = QStringLiteral("List1");
inline const QString LoadButton = QStringLiteral("Command1");
inline const QString SaveAsButton = QStringLiteral("Command2");
inline const QString NewButton = QStringLiteral("Command3");
inline const QString SendAllButton = QStringLiteral("Command4");
inline const QString ModifyButton = QStringLiteral("Command5");
inline const QString SendSelectionButton = QStringLiteral("Command6");
inline const QString GoToEdit = QStringLiteral("Text1");
inline const QString FirstLineEdit = QStringLiteral("Text2");
inline const QString SecondLineEdit = QStringLiteral("Text3");
inline const QString GoToLabel = QStringLiteral("Label1");
inline const QString CrCheck = QStringLiteral("Check1");
inline const QString LfCheck = QStringLiteral("Check2");
// The port options "Com1" to "Com4": one control array, index 0 to 3.
inline const std::array<QString, 4> PortOptions = {
    QStringLiteral("Option1_0"), QStringLiteral("Option1_1"), QStringLiteral("Option1_2"),
    QStringLiteral("Option1_3")};

// The progress window and its controls.
inline const QString ProgressWindow = QStringLiteral("ShowCompleting");
inline const QString ProgressBar = QStringLiteral("ProgressBar1");
inline const QString ProgressLabel = QStringLiteral("Label1");

// The file dialog of "Load" and "Save As".
inline const QString FileDialog = QStringLiteral("cDialog1");

} // namespace norvane::objectName
