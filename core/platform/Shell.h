#pragma once

#include <QString>
#include <QUrl>

// Desktop shell actions. None of them waits for the program that handles the request, and none
// fails hard without a desktop: with no QGuiApplication, or a platform without desktop services
// (offscreen, a server), they return false and do nothing. Called from another thread, the
// request is queued to the application's thread and true is returned.

// Opens the URL (a folder as a file: URL, a web page) with the desktop's default handler.
bool VtShellOpenUrl(const QUrl& url);

// Shows an existing file in the desktop's file manager: Windows Explorer selects it; elsewhere
// its folder is opened (there is no common way to ask for a selection).
bool VtShellRevealFile(const QString& absoluteFilePath);
