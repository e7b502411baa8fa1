#include "QXRefusal.h"

namespace {

struct Texts {
    EQXRefusal code;
    const char* en;
    const char* fr;
    const char* ja;
};

const Texts kTexts[] = {
    {EQXRefusal::BadCredentials, "Wrong user name or password.",
     "Nom d'utilisateur ou mot de passe incorrect.",
     "ユーザー名またはパスワードが正しくありません。"},
    {EQXRefusal::SsoNotAllowed, "Single sign-on is not allowed for this user.",
     "L'authentification unique n'est pas autorisée pour cet utilisateur.",
     "このユーザーはシングルサインオンを使用できません。"},
    {EQXRefusal::PasswordRefused, "The new password was refused.",
     "Le nouveau mot de passe a été refusé.", "新しいパスワードは拒否されました。"},
    {EQXRefusal::NoSession, "Your session has expired. Please log in again.",
     "Votre session a expiré. Veuillez vous reconnecter.",
     "セッションの有効期限が切れました。もう一度ログインしてください。"},
    {EQXRefusal::UnknownApplication, "Unknown application or version.",
     "Application ou version inconnue.", "アプリケーションまたはバージョンが不明です。"},
    {EQXRefusal::UnknownFile, "Unknown file.", "Fichier inconnu.", "ファイルが不明です。"},
    {EQXRefusal::MissingParameter, "A required parameter is missing.",
     "Un paramètre obligatoire est manquant.", "必要なパラメーターがありません。"},
    {EQXRefusal::NotOffered, "This server does not offer zipped downloads.",
     "Ce serveur ne propose pas de téléchargement compressé.",
     "このサーバーは圧縮ダウンロードを提供していません。"},
    {EQXRefusal::UnknownService, "Unknown service.", "Service inconnu.", "不明なサービスです。"},
    {EQXRefusal::DirectoryUnavailable,
     "The company directory cannot be reached to check your password. Please try again later.",
     "L'annuaire de l'entreprise est injoignable pour vérifier votre mot de passe. Veuillez "
     "réessayer plus tard.",
     "パスワードを確認するための社内ディレクトリに接続できません。しばらくしてから再度お試しくださ"
     "い。"},
    {EQXRefusal::SsoNotVouched,
     "Single sign-on is accepted only through the company's sign-on server.",
     "L'authentification unique n'est acceptée que par le serveur d'authentification de "
     "l'entreprise.",
     "シングルサインオンは社内のサインオンサーバー経由でのみ受け付けます。"},
    {EQXRefusal::DirectoryPassword,
     "Your password is kept in the company directory: change it there.",
     "Votre mot de passe est géré par l'annuaire de l'entreprise : modifiez-le là.",
     "パスワードは社内ディレクトリで管理されています。そちらで変更してください。"},
    {EQXRefusal::PasswordExpired, "Your password has expired.", "Votre mot de passe a expiré.",
     "パスワードの有効期限が切れました。"},
    {EQXRefusal::NewPinRequired, "A new PIN is required.", "Un nouveau code PIN est requis.",
     "新しいPINが必要です。"},
    {EQXRefusal::NextPasscodeRequired, "The next passcode is required.",
     "Le code suivant est requis.", "次のパスコードが必要です。"},
};

} // namespace

std::string CQXRefusal::Description(EQXRefusal code, const std::string& lang) {
    for (const auto& texts : kTexts) {
        if (texts.code != code)
            continue;
        if (lang == "fr")
            return texts.fr;
        return lang == "ja" ? texts.ja : texts.en;
    }
    return std::string();
}

SQXReply CQXRefusal::Make(int status, EQXRefusal code, const std::string& lang) {
    SQXReply reply;
    reply.status = status;
    reply.textLanguage = lang.empty() ? std::string("en") : lang;
    reply.contentType = "text/plain; charset=UTF-8";
    reply.refusal = static_cast<int>(code);
    reply.body = "Code=" + std::to_string(static_cast<int>(code)) +
                 "\nDescription=" + Description(code, lang) + "\n";
    return reply;
}
