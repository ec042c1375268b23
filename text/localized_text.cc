#include "text/localized_text.h"

#include <string_view>

namespace updater {

// Catalog order. German (index 4) has no texts of its own and shows English.

const LocalizedText kTextWindowTitle = {{
    u"Check for update",           // English
    u"检查更新",                   // Simplified Chinese
    u"檢查更新",                   // Traditional Chinese
    u"Проверить обновления",       // Russian
    nullptr,                       // German
    u"Vérifier les mises à jour",  // French
    u"アップデートを確認",         // Japanese
    u"Sprawdź aktualizację",       // Polish
    u"Verificar por atualização",  // Brazilian Portuguese
    u"Έλεγχος για ενημερώσεις",    // Greek
}};

const LocalizedText kTextAlreadyRunning = {{
    u"Updater already running.",                  // English
    u"更新程序正在运行。",                        // Simplified Chinese
    u"更新程式正在執行。",                        // Traditional Chinese
    u"Обновление уже запущено.",                  // Russian
    nullptr,                                      // German
    u"Le module de mise à jour est déjà lancé.",  // French
    u"アップデートしています。",                  // Japanese
    u"Aktualizacja jest uruchomiona.",            // Polish
    u"Atualizador já em execução.",               // Brazilian Portuguese
    u"Η ενημέρωση εκτελείται ήδη.",               // Greek
}};

const LocalizedText kTextInstallButton = {{
    u"Install",       // English
    u"安装",          // Simplified Chinese
    u"安裝",          // Traditional Chinese
    u"Установить",    // Russian
    nullptr,          // German
    u"Installer",     // French
    u"インストール",  // Japanese
    u"Zainstaluj",    // Polish
    u"Instalar",      // Brazilian Portuguese
    u"Εγκατάσταση",   // Greek
}};

const LocalizedText kTextConfirmButton = {{
    u"Confirm",      // English
    u"确定",         // Simplified Chinese
    u"確定",         // Traditional Chinese
    u"Подтвердить",  // Russian
    nullptr,         // German
    u"Confirmer",    // French
    u"確認",         // Japanese
    u"Potwierdź",    // Polish
    u"Confirmar",    // Brazilian Portuguese
    u"Επιβεβαίωση",  // Greek
}};

const LocalizedText kTextAbortButton = {{
    u"Abort",     // English
    u"退出",      // Simplified Chinese
    u"離開",      // Traditional Chinese
    u"Прервать",  // Russian
    nullptr,      // German
    u"Annuler",   // French
    u"中止",      // Japanese
    u"Anuluj",    // Polish
    u"Abortar",   // Brazilian Portuguese
    u"Ματαίωση",  // Greek
}};

const LocalizedText kTextOpenFolderButton = {{
    u"Open folder",        // English
    u"打开文件目录",       // Simplified Chinese
    u"開啟檔案目錄",       // Traditional Chinese
    u"Открыть папку...",   // Russian
    nullptr,               // German
    u"Ouvrir le dossier",  // French
    u"フォルダを開く",     // Japanese
    u"Otwórz folder",      // Polish
    u"Abrir pasta",        // Brazilian Portuguese
    u"Άνοιγμα φακέλου",    // Greek
}};

const LocalizedText kTextInstalling = {{
    u"Installing...",              // English
    u"正在安装...",                // Simplified Chinese
    u"正在安裝...",                // Traditional Chinese
    u"Установка...",               // Russian
    nullptr,                       // German
    u"Installation...",            // French
    u"インストールしています...",  // Japanese
    u"Instalowanie...",            // Polish
    u"Instalando...",              // Brazilian Portuguese
    u"Εγκατάσταση...",             // Greek
}};

const LocalizedText kTextBrowserCurrentVersion = {{
    u"Current browser version is ",                           // English
    u"当前浏览器版本为 ",                                     // Simplified Chinese
    u"目前瀏覽器版本為 ",                                     // Traditional Chinese
    u"Текущая версия браузера ",                              // Russian
    nullptr,                                                  // German
    u"La version actuelle du navigateur est ",                // French
    u"現在のブラウザーのバージョン ",                         // Japanese
    u"Aktualna wersja przeglądarki to ",                      // Polish
    u"Versão atual do navegor é ",                            // Brazilian Portuguese
    u"Η τρέχουσα έκδοση του προγράμματος περιήγησης είναι ",  // Greek
}};

const LocalizedText kTextFlashCurrentVersion = {{
    u"Current flash version is ",                  // English
    u"当前Flash版本为 ",                           // Simplified Chinese
    u"目前Flash版本為 ",                           // Traditional Chinese
    u"Текущая версия флэш плеера ",                // Russian
    nullptr,                                       // German
    u"La version actuelle de flash player est ",   // French
    u"現在の Flash のバージョン ",                 // Japanese
    u"Aktualna wersja flash to ",                  // Polish
    u"Versão atual do flash é ",                   // Brazilian Portuguese
    u"Η τρέχουσα έκδοση του flash player είναι ",  // Greek
}};

const LocalizedText kTextConnecting = {{
    u"Connecting server...",         // English
    u"正在连接服务器...",            // Simplified Chinese
    u"正在連線伺服器...",            // Traditional Chinese
    u"Подключение сервера...",       // Russian
    nullptr,                         // German
    u"Connexion au serveur...",      // French
    u"サーバーに接続しています...",  // Japanese
    u"Łączenie serwera...",          // Polish
    u"Conectando ao servidor...",    // Brazilian Portuguese
    u"Σύνδεση διακομιστή...",        // Greek
}};

const LocalizedText kTextBrowserFoundPrefix = {{
    u"Found new browser version(",                       // English
    u"发现浏览器新版本（",                               // Simplified Chinese
    u"發現瀏覽器新版本（",                               // Traditional Chinese
    u"Найдена новая версия браузера(",                   // Russian
    nullptr,                                             // German
    u"Nouvelle version du navigateur disponible(",       // French
    u"新しいバージョン(",                                // Japanese
    u"Znaleziono nową wersję przeglądarki(",             // Polish
    u"Encontrado nova versão do navegador(",             // Brazilian Portuguese
    u"Βρέθηκε νέα έκδοση του προγράμματος περιήγησης(",  // Greek
}};

const LocalizedText kTextBrowserFoundSuffix = {{
    u"), starting download...",                   // English
    u"），正在下载...",                           // Simplified Chinese
    u"），正在下載...",                           // Traditional Chinese
    u"), начинается скачивание...",               // Russian
    nullptr,                                      // German
    u"), début du téléchargement...",             // French
    u")のブラウザーをダウンロードしています...",  // Japanese
    u"), pobieranie...",                          // Polish
    u"), iniciando download...",                  // Brazilian Portuguese
    u"), εκκίνηση λήψης...",                      // Greek
}};

const LocalizedText kTextDownloadProgress = {{
    u"%d%% downloaded.",             // English
    u"已下载 %d%%",                  // Simplified Chinese
    u"已下載 %d%%",                  // Traditional Chinese
    u"%d%% загружено.",              // Russian
    nullptr,                         // German
    u"%d%% téléchargé.",             // French
    u"%d%% ダウンロードしました。",  // Japanese
    u"Pobrane %d%%",                 // Polish
    u"%d%% baixado.",                // Brazilian Portuguese
    u"%d%% ελήφθη.",                 // Greek
}};

const LocalizedText kTextBrowserInstallPrompt = {{
    u"Browser installer downloaded, install now?",                          // English
    u"安装包下载完成，是否现在安装？",                                      // Simplified Chinese
    u"安裝包下載完成，是否現在安裝？",                                      // Traditional Chinese
    u"Установщик браузера загружен, установить сейчас?",                    // Russian
    nullptr,                                                                // German
    u"Nouvelle version du navigateur téléchargée, installer maintenant ?",  // French
    u"ブラウザーのインストーラーをダウンロードしました。今すぐインストールしますか？",  // Japanese
    u"Przeglądarka pobrana, zainstalować teraz?",                                       // Polish
    u"Instalador do navegador baixado, instalar agora?",  // Brazilian Portuguese
    u"Έγινε λήψη του προγράμματος εγκατάστασης, να γίνει εγκατάσταση τώρα;",  // Greek
}};

const LocalizedText kTextBrowserUpToDate = {{
    u"Your browser is already the latest version.",                  // English
    u"浏览器已是最新版本。",                                         // Simplified Chinese
    u"瀏覽器已是最新版本。",                                         // Traditional Chinese
    u"Ваш браузер последней версии.",                                // Russian
    nullptr,                                                         // German
    u"Vous avez déjà de la dernière version du navigateur.",         // French
    u"ブラウザーは最新版です。",                                     // Japanese
    u"Twoja przeglądarka jest aktualna.",                            // Polish
    u"Seu navegador já é a versão mais recente.",                    // Brazilian Portuguese
    u"Το πρόγραμμα περιήγησής σας είναι ήδη την τελευταία έκδοση.",  // Greek
}};

const LocalizedText kTextBrowserInstalled = {{
    u"New browser version installed.",                           // English
    u"新版本已安装。",                                           // Simplified Chinese
    u"新版本已安裝。",                                           // Traditional Chinese
    u"Установлена новая версия браузера.",                       // Russian
    nullptr,                                                     // German
    u"Nouvelle version du navigateur installée.",                // French
    u"新しいバージョンのブラウザーをインストールしました。",     // Japanese
    u"Zainstalowano nową wersję przeglądarki.",                  // Polish
    u"Nova versão do navegador instalado.",                      // Brazilian Portuguese
    u"Η νέα έκδοση του προγράμματος περιήγησης εγκαταστάθηκε.",  // Greek
}};

const LocalizedText kTextBrowserRestartPrompt = {{
    u"New browser version installed, restart now?",                         // English
    u"新版本已安装，是否重启浏览器？",                                      // Simplified Chinese
    u"新版本已安裝，是否重啟瀏覽器？",                                      // Traditional Chinese
    u"Установлена новая версия браузера, перезагрузить сейчас?",            // Russian
    nullptr,                                                                // German
    u"Nouvelle version du navigateur installée, redémarrer maintenant?",    // French
    u"新しいバージョンのブラウザーをインストールしました。今すぐ再起動？",  // Japanese
    u"Zainstalowano nową wersję przeglądarki, zrestartuj teraz?",           // Polish
    u"Nova versão do navegador instalada, recomece agora?",                 // Brazilian Portuguese
    u"Η νέα έκδοση εγκαταστάθηκε, επανεκκίνηση τώρα;",                      // Greek
}};

const LocalizedText kTextBrowserFailed = {{
    u"Browser update failed, error code is %d.",                   // English
    u"浏览器更新失败，错误码为 %d。",                              // Simplified Chinese
    u"瀏覽器更新失敗，錯誤代碼為 %d。",                            // Traditional Chinese
    u"Обновить браузер не удалось, код ошибки %d.",                // Russian
    nullptr,                                                       // German
    u"Mise à jour du navigateur échouée, code erreur %d.",         // French
    u"ブラウザーのアップデートに失敗しました。エラーコード: %d",   // Japanese
    u"Aktualizacja przeglądarki nie powiodła się, kod błędu %d.",  // Polish
    u"Falha na atualização do navegador, código de erro é %d.",    // Brazilian Portuguese
    u"Η ενημέρωση του προγράμματος περιήγησης απέτυχε, κωδικός σφάλματος %d.",  // Greek
}};

const LocalizedText kTextFlashChecking = {{
    u"Checking flash player...",                // English
    u"正在查询Flash版本...",                    // Simplified Chinese
    u"正在查詢Flash版本...",                    // Traditional Chinese
    u"Проверка флеш плеера...",                 // Russian
    nullptr,                                    // German
    u"Vérification de flash player...",         // French
    u"Flashプレイヤーをチェックしています...",  // Japanese
    u"Sprawdzanie flash playera...",            // Polish
    u"Verificando flash player...",             // Brazilian Portuguese
    u"Έλεγχος flash player...",                 // Greek
}};

const LocalizedText kTextFlashFoundPrefix = {{
    u"Found new flash player(",               // English
    u"发现新版Flash（",                       // Simplified Chinese
    u"發現新版Flash（",                       // Traditional Chinese
    u"Найден новый флэш плеер(",              // Russian
    nullptr,                                  // German
    u"Nouvelle version de flash player(",     // French
    u"新しいバージョン(",                     // Japanese
    u"Znaleziono nowy Flash Player(",         // Polish
    u"Encontrado novo flash player(",         // Brazilian Portuguese
    u"Βρέθηκε νέα έκδοση του flash player(",  // Greek
}};

const LocalizedText kTextFlashFoundSuffix = {{
    u"), starting download...",                        // English
    u"），正在下载...",                                // Simplified Chinese
    u"），正在下載...",                                // Traditional Chinese
    u"), начинается загрузка...",                      // Russian
    nullptr,                                           // German
    u"), début du téléchargement...",                  // French
    u")のFlashプレイヤーをダウンロードしています...",  // Japanese
    u"), pobieranie...",                               // Polish
    u"), iniciando download...",                       // Brazilian Portuguese
    u"), εκκίνηση λήψης...",                           // Greek
}};

const LocalizedText kTextFlashInstallPrompt = {{
    u"New flash player downloaded, install now?",                             // English
    u"新版Flash下载完成，是否现在安装？",                                     // Simplified Chinese
    u"新版Flash下載完成，是否現在安裝？",                                     // Traditional Chinese
    u"Новый флеш плеер загружен, установить сейчас?",                         // Russian
    nullptr,                                                                  // German
    u"Nouvelle version de flash player téléchargée, installer maintenant ?",  // French
    u"新しいFlashプレイヤーをダウンロードしました。今すぐインストールしますか？",  // Japanese
    u"Nowy Flash Player pobrany, zainstalować teraz?",                             // Polish
    u"Novo flash player baixado, instalar agora?",               // Brazilian Portuguese
    u"Έγινε λήψη του flash player, να γίνει εγκατάσταση τώρα;",  // Greek
}};

const LocalizedText kTextFlashUpToDate = {{
    u"Flash player is already the latest version.",             // English
    u"Flash已是最新版本。",                                     // Simplified Chinese
    u"Flash已是最新版本。",                                     // Traditional Chinese
    u"Флеш плеер последней версии.",                            // Russian
    nullptr,                                                    // German
    u"Vous avez déjà de la dernière version de flash player.",  // French
    u"Flashプレイヤーは最新版です。",                           // Japanese
    u"Flash Player jest aktualny.",                             // Polish
    u"A versão do flash player já é a mais recente.",           // Brazilian Portuguese
    u"Ο flash player είναι ήδη την τελευταία έκδοση.",          // Greek
}};

const LocalizedText kTextFlashInstalled = {{
    u"New flash player installed.",                    // English
    u"新版Flash已安装。",                              // Simplified Chinese
    u"新版Flash已安裝。",                              // Traditional Chinese
    u"Новый флеш плеер установлен.",                   // Russian
    nullptr,                                           // German
    u"Nouvelle version de flash player installée.",    // French
    u"新しいFlashプレイヤーをインストールしました。",  // Japanese
    u"Zainstalowano nowy Flash Player.",               // Polish
    u"Novo flash player instalado.",                   // Brazilian Portuguese
    u"Η νέα έκδοση του flash player εγκαταστάθηκε.",   // Greek
}};

const LocalizedText kTextFlashRestartPrompt = {{
    u"New flash player installed, restart now?",                            // English
    u"新版Flash已安装，是否重启浏览器？",                                   // Simplified Chinese
    u"新版Flash已安裝，是否重啟瀏覽器？",                                   // Traditional Chinese
    u"Новый флеш плеер установлен, перезагрузить сейчас?",                  // Russian
    nullptr,                                                                // German
    u"Nouvelle version de flash player installée, redémarrer maintenant?",  // French
    u"新しいFlashプレイヤーをインストールしました。今すぐ再起動？",         // Japanese
    u"Zainstalowano nowy Flash Player, zrestartuj teraz?",                  // Polish
    u"Novo flash player instalado, recomece agora?",                        // Brazilian Portuguese
    u"Η νέα έκδοση του flash player εγκαταστάθηκε, επανεκκίνηση τώρα?",     // Greek
}};

const LocalizedText kTextFlashFailed = {{
    u"Flash player update failed, error code is %d.",                  // English
    u"更新Flash失败，错误码为 %d。",                                   // Simplified Chinese
    u"更新Flash失敗，錯誤代碼為 %d。",                                 // Traditional Chinese
    u"Обновить флеш плеер не удалось, код ошибки %d.",                 // Russian
    nullptr,                                                           // German
    u"Mise à jour de flash player échouée, code erreur %d.",           // French
    u"Flashプレイヤーのアップデートに失敗しました。エラーコード: %d",  // Japanese
    u"Aktualizacja Flash Player nie powiodła się, kod błędu %d.",      // Polish
    u"Falha na atualização do flash player, código de erro é %d.",     // Brazilian Portuguese
    u"Η ενημέρωση του flash player απέτυχε, κωδικός σφάλματος %d.",    // Greek
}};

const char16_t* GetLocalizedText(const LocalizedText& entry, int language_index) {
  const unsigned index = static_cast<unsigned>(language_index);
  if (index >= static_cast<unsigned>(kLanguageCount) || entry.texts[index] == nullptr) {
    return entry.texts[kLanguageEnglish];
  }
  return entry.texts[index];
}

std::u16string FormatLocalizedText(const char16_t* format, int value) {
  const std::u16string_view text = format != nullptr ? format : u"";
  std::u16string result;
  bool value_used = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
    if (text[i] == u'%' && next == u'%') {
      result += u'%';
      ++i;
    } else if (text[i] == u'%' && next == u'd' && !value_used) {
      for (const char c : std::to_string(value)) {
        result += static_cast<char16_t>(c);
      }
      value_used = true;
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

}  // namespace updater
