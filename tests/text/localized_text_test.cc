#include "text/localized_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/string_util.h"
#include "tests/support/text_catalog.h"

namespace updater {
namespace {

constexpr int kGermanLanguageIndex = 4;
constexpr int kEntryCount = test_support::kCatalogEntryCount;
const auto& kCatalog = test_support::kCatalogEntries;

// The texts as UTF-8, kept apart from the catalog's UTF-16 literals so that a
// slip in either one shows.
struct LanguageTexts {
  int language_index;
  const char* texts[kEntryCount];
};
const LanguageTexts kExpected[] = {

    {0,
     {"Check for update",
      "Updater already running.",
      "Install",
      "Confirm",
      "Abort",
      "Open folder",
      "Installing...",
      "Current browser version is ",
      "Current flash version is ",
      "Connecting server...",
      "Found new browser version(",
      "), starting download...",
      "%d%% downloaded.",
      "Browser installer downloaded, install now?",
      "Your browser is already the latest version.",
      "New browser version installed.",
      "New browser version installed, restart now?",
      "Browser update failed, error code is %d.",
      "Checking flash player...",
      "Found new flash player(",
      "), starting download...",
      "New flash player downloaded, install now?",
      "Flash player is already the latest version.",
      "New flash player installed.",
      "New flash player installed, restart now?",
      "Flash player update failed, error code is %d."}},
    {1,
     {"检查更新",
      "更新程序正在运行。",
      "安装",
      "确定",
      "退出",
      "打开文件目录",
      "正在安装...",
      "当前浏览器版本为 ",
      "当前Flash版本为 ",
      "正在连接服务器...",
      "发现浏览器新版本（",
      "），正在下载...",
      "已下载 %d%%",
      "安装包下载完成，是否现在安装？",
      "浏览器已是最新版本。",
      "新版本已安装。",
      "新版本已安装，是否重启浏览器？",
      "浏览器更新失败，错误码为 %d。",
      "正在查询Flash版本...",
      "发现新版Flash（",
      "），正在下载...",
      "新版Flash下载完成，是否现在安装？",
      "Flash已是最新版本。",
      "新版Flash已安装。",
      "新版Flash已安装，是否重启浏览器？",
      "更新Flash失败，错误码为 %d。"}},
    {2,
     {"檢查更新",
      "更新程式正在執行。",
      "安裝",
      "確定",
      "離開",
      "開啟檔案目錄",
      "正在安裝...",
      "目前瀏覽器版本為 ",
      "目前Flash版本為 ",
      "正在連線伺服器...",
      "發現瀏覽器新版本（",
      "），正在下載...",
      "已下載 %d%%",
      "安裝包下載完成，是否現在安裝？",
      "瀏覽器已是最新版本。",
      "新版本已安裝。",
      "新版本已安裝，是否重啟瀏覽器？",
      "瀏覽器更新失敗，錯誤代碼為 %d。",
      "正在查詢Flash版本...",
      "發現新版Flash（",
      "），正在下載...",
      "新版Flash下載完成，是否現在安裝？",
      "Flash已是最新版本。",
      "新版Flash已安裝。",
      "新版Flash已安裝，是否重啟瀏覽器？",
      "更新Flash失敗，錯誤代碼為 %d。"}},
    {3,
     {"Проверить обновления",
      "Обновление уже запущено.",
      "Установить",
      "Подтвердить",
      "Прервать",
      "Открыть папку...",
      "Установка...",
      "Текущая версия браузера ",
      "Текущая версия флэш плеера ",
      "Подключение сервера...",
      "Найдена новая версия браузера(",
      "), начинается скачивание...",
      "%d%% загружено.",
      "Установщик браузера загружен, установить сейчас?",
      "Ваш браузер последней версии.",
      "Установлена новая версия браузера.",
      "Установлена новая версия браузера, перезагрузить сейчас?",
      "Обновить браузер не удалось, код ошибки %d.",
      "Проверка флеш плеера...",
      "Найден новый флэш плеер(",
      "), начинается загрузка...",
      "Новый флеш плеер загружен, установить сейчас?",
      "Флеш плеер последней версии.",
      "Новый флеш плеер установлен.",
      "Новый флеш плеер установлен, перезагрузить сейчас?",
      "Обновить флеш плеер не удалось, код ошибки %d."}},
    {5,
     {"Vérifier les mises à jour",
      "Le module de mise à jour est déjà lancé.",
      "Installer",
      "Confirmer",
      "Annuler",
      "Ouvrir le dossier",
      "Installation...",
      "La version actuelle du navigateur est ",
      "La version actuelle de flash player est ",
      "Connexion au serveur...",
      "Nouvelle version du navigateur disponible(",
      "), début du téléchargement...",
      "%d%% téléchargé.",
      "Nouvelle version du navigateur téléchargée, installer maintenant ?",
      "Vous avez déjà de la dernière version du navigateur.",
      "Nouvelle version du navigateur installée.",
      "Nouvelle version du navigateur installée, redémarrer maintenant?",
      "Mise à jour du navigateur échouée, code erreur %d.",
      "Vérification de flash player...",
      "Nouvelle version de flash player(",
      "), début du téléchargement...",
      "Nouvelle version de flash player téléchargée, installer maintenant ?",
      "Vous avez déjà de la dernière version de flash player.",
      "Nouvelle version de flash player installée.",
      "Nouvelle version de flash player installée, redémarrer maintenant?",
      "Mise à jour de flash player échouée, code erreur %d."}},
    {6,
     {"アップデートを確認",
      "アップデートしています。",
      "インストール",
      "確認",
      "中止",
      "フォルダを開く",
      "インストールしています...",
      "現在のブラウザーのバージョン ",
      "現在の Flash のバージョン ",
      "サーバーに接続しています...",
      "新しいバージョン(",
      ")のブラウザーをダウンロードしています...",
      "%d%% ダウンロードしました。",
      "ブラウザーのインストーラーをダウンロードしました。今すぐインストールしますか？",
      "ブラウザーは最新版です。",
      "新しいバージョンのブラウザーをインストールしました。",
      "新しいバージョンのブラウザーをインストールしました。今すぐ再起動？",
      "ブラウザーのアップデートに失敗しました。エラーコード: %d",
      "Flashプレイヤーをチェックしています...",
      "新しいバージョン(",
      ")のFlashプレイヤーをダウンロードしています...",
      "新しいFlashプレイヤーをダウンロードしました。今すぐインストールしますか？",
      "Flashプレイヤーは最新版です。",
      "新しいFlashプレイヤーをインストールしました。",
      "新しいFlashプレイヤーをインストールしました。今すぐ再起動？",
      "Flashプレイヤーのアップデートに失敗しました。エラーコード: %d"}},
    {7,
     {"Sprawdź aktualizację",
      "Aktualizacja jest uruchomiona.",
      "Zainstaluj",
      "Potwierdź",
      "Anuluj",
      "Otwórz folder",
      "Instalowanie...",
      "Aktualna wersja przeglądarki to ",
      "Aktualna wersja flash to ",
      "Łączenie serwera...",
      "Znaleziono nową wersję przeglądarki(",
      "), pobieranie...",
      "Pobrane %d%%",
      "Przeglądarka pobrana, zainstalować teraz?",
      "Twoja przeglądarka jest aktualna.",
      "Zainstalowano nową wersję przeglądarki.",
      "Zainstalowano nową wersję przeglądarki, zrestartuj teraz?",
      "Aktualizacja przeglądarki nie powiodła się, kod błędu %d.",
      "Sprawdzanie flash playera...",
      "Znaleziono nowy Flash Player(",
      "), pobieranie...",
      "Nowy Flash Player pobrany, zainstalować teraz?",
      "Flash Player jest aktualny.",
      "Zainstalowano nowy Flash Player.",
      "Zainstalowano nowy Flash Player, zrestartuj teraz?",
      "Aktualizacja Flash Player nie powiodła się, kod błędu %d."}},
    {8,
     {"Verificar por atualização",
      "Atualizador já em execução.",
      "Instalar",
      "Confirmar",
      "Abortar",
      "Abrir pasta",
      "Instalando...",
      "Versão atual do navegor é ",
      "Versão atual do flash é ",
      "Conectando ao servidor...",
      "Encontrado nova versão do navegador(",
      "), iniciando download...",
      "%d%% baixado.",
      "Instalador do navegador baixado, instalar agora?",
      "Seu navegador já é a versão mais recente.",
      "Nova versão do navegador instalado.",
      "Nova versão do navegador instalada, recomece agora?",
      "Falha na atualização do navegador, código de erro é %d.",
      "Verificando flash player...",
      "Encontrado novo flash player(",
      "), iniciando download...",
      "Novo flash player baixado, instalar agora?",
      "A versão do flash player já é a mais recente.",
      "Novo flash player instalado.",
      "Novo flash player instalado, recomece agora?",
      "Falha na atualização do flash player, código de erro é %d."}},
    {9,
     {"Έλεγχος για ενημερώσεις",
      "Η ενημέρωση εκτελείται ήδη.",
      "Εγκατάσταση",
      "Επιβεβαίωση",
      "Ματαίωση",
      "Άνοιγμα φακέλου",
      "Εγκατάσταση...",
      "Η τρέχουσα έκδοση του προγράμματος περιήγησης είναι ",
      "Η τρέχουσα έκδοση του flash player είναι ",
      "Σύνδεση διακομιστή...",
      "Βρέθηκε νέα έκδοση του προγράμματος περιήγησης(",
      "), εκκίνηση λήψης...",
      "%d%% ελήφθη.",
      "Έγινε λήψη του προγράμματος εγκατάστασης, να γίνει εγκατάσταση τώρα;",
      "Το πρόγραμμα περιήγησής σας είναι ήδη την τελευταία έκδοση.",
      "Η νέα έκδοση του προγράμματος περιήγησης εγκαταστάθηκε.",
      "Η νέα έκδοση εγκαταστάθηκε, επανεκκίνηση τώρα;",
      "Η ενημέρωση του προγράμματος περιήγησης απέτυχε, κωδικός σφάλματος %d.",
      "Έλεγχος flash player...",
      "Βρέθηκε νέα έκδοση του flash player(",
      "), εκκίνηση λήψης...",
      "Έγινε λήψη του flash player, να γίνει εγκατάσταση τώρα;",
      "Ο flash player είναι ήδη την τελευταία έκδοση.",
      "Η νέα έκδοση του flash player εγκαταστάθηκε.",
      "Η νέα έκδοση του flash player εγκαταστάθηκε, επανεκκίνηση τώρα?",
      "Η ενημέρωση του flash player απέτυχε, κωδικός σφάλματος %d."}},
};

std::u16string Text(const LocalizedText& entry, int language_index) {
  return GetLocalizedText(entry, language_index);
}

TEST(LocalizedTextTest, EveryEntryHasExactlyItsTextInEveryLanguage) {
  for (const LanguageTexts& language : kExpected) {
    for (int entry = 0; entry < kEntryCount; ++entry) {
      SCOPED_TRACE(testing::Message()
                   << "language " << language.language_index << ", entry " << entry);
      ASSERT_NE(kCatalog[entry]->texts[language.language_index], nullptr);
      EXPECT_EQ(Text(*kCatalog[entry], language.language_index),
                UTF8ToUTF16(language.texts[entry]));
    }
  }
  for (const LocalizedText* entry : kCatalog) {
    EXPECT_EQ(entry->texts[kGermanLanguageIndex], nullptr);
  }
}

TEST(LocalizedTextTest, FallsBackToEnglish) {
  for (const LocalizedText* entry : kCatalog) {
    const std::u16string english = entry->texts[kLanguageEnglish];
    for (const int index : {kGermanLanguageIndex, -1, 10, INT_MIN, INT_MAX}) {
      EXPECT_EQ(Text(*entry, index), english) << index;
    }
  }
  const LocalizedText partial = {{u"English", u"Chinese", nullptr}};
  EXPECT_EQ(Text(partial, 1), u"Chinese");
  EXPECT_EQ(Text(partial, 2), u"English");
  EXPECT_EQ(Text(partial, 9), u"English");
}

TEST(LocalizedTextTest, FormatsTheOneInteger) {
  EXPECT_EQ(FormatLocalizedText(GetLocalizedText(kTextDownloadProgress, 0), 42),
            u"42% downloaded.");
  EXPECT_EQ(FormatLocalizedText(GetLocalizedText(kTextDownloadProgress, 1), 42), u"已下载 42%");
  EXPECT_EQ(FormatLocalizedText(GetLocalizedText(kTextBrowserFailed, 0), 29),
            u"Browser update failed, error code is 29.");
  EXPECT_EQ(FormatLocalizedText(GetLocalizedText(kTextFlashFailed, 6), -7),
            u"Flashプレイヤーのアップデートに失敗しました。エラーコード: -7");
  EXPECT_EQ(FormatLocalizedText(u"%d", INT_MIN), u"-2147483648");

  // Nothing reads a second argument or interprets other conversions.
  EXPECT_EQ(FormatLocalizedText(u"%d and %d, %s %x %%d %", 5), u"5 and %d, %s %x %d %");
  EXPECT_EQ(FormatLocalizedText(u"no number", 5), u"no number");
  EXPECT_EQ(FormatLocalizedText(nullptr, 5), u"");
}

TEST(LocalizedTextTest, PrefixesAndSuffixesFrameTheVersion) {
  const auto framed = [](int language) {
    return Text(kTextBrowserFoundPrefix, language) + u"1.5.2.3" +
           Text(kTextBrowserFoundSuffix, language);
  };
  EXPECT_EQ(framed(6), u"新しいバージョン(1.5.2.3)のブラウザーをダウンロードしています...");
  EXPECT_EQ(framed(1), u"发现浏览器新版本（1.5.2.3），正在下载...");
  EXPECT_EQ(framed(0), u"Found new browser version(1.5.2.3), starting download...");
  EXPECT_EQ(Text(kTextBrowserCurrentVersion, 0) + u"", u"Current browser version is ");
}

}  // namespace
}  // namespace updater
