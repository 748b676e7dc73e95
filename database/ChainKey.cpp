#include "database/ChainKey.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>

namespace {

constexpr char RecordSeparator = '\x1e';
constexpr int BlockBytes = 64; // SHA-256's block

} // namespace

struct ChainHasher::Context
{
    EVP_MD_CTX *md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

ChainKey ChainKey::load(const QString &path, QString *error)
{
    const QString native = QFileInfo(path).absoluteFilePath();
    auto refuse = [&](const QString &why) {
        if (error)
            *error = why;
        return ChainKey();
    };
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return refuse(QStringLiteral("Файл ключа цепочки %1 не найден: %2")
                          .arg(native, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISREG(st.st_mode))
        return refuse(QStringLiteral("Файл ключа цепочки %1 не является файлом").arg(native));
    // A key anybody on the machine can read proves nothing; one anybody can
    // write can be swapped. Neither is used, so the station is not lulled.
    if (st.st_mode & (S_IROTH | S_IWOTH))
        return refuse(QStringLiteral("Файл ключа цепочки %1 доступен всем пользователям "
                                     "компьютера: ключ не используется. Оставьте доступ к нему "
                                     "только учётным записям рабочего места (chmod 640).")
                          .arg(native));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("Нет права чтения файла ключа цепочки %1").arg(native));
    const QByteArray secret = file.read(MaximumBytes + 1);
    if (secret.size() < MinimumBytes || secret.size() > MaximumBytes)
        return refuse(QStringLiteral("Файл ключа цепочки %1 должен содержать от %2 до %3 байт")
                          .arg(native)
                          .arg(MinimumBytes)
                          .arg(MaximumBytes));
    if (error)
        error->clear();
    return ChainKey(secret);
}

QByteArray ChainKey::id() const
{
    if (isNull())
        return QByteArray();
    ChainHasher hasher(*this);
    unsigned char out[ChainHasher::DigestBytes];
    hasher.digest(true, QByteArrayView(), "zelmor station key", out);
    return QByteArray(reinterpret_cast<const char *>(out), 8).toHex();
}

ChainHasher::ChainHasher(const ChainKey &key)
    : m_ctx(new Context)
{
    if (!m_ctx->md)
        throw std::bad_alloc();
    if (key.isNull())
        return;
    // HMAC: a key longer than a block is hashed first, then padded with zeros.
    QByteArray k = key.secret();
    if (k.size() > BlockBytes) {
        unsigned char out[DigestBytes];
        EVP_DigestInit_ex(m_ctx->md, EVP_sha256(), nullptr);
        EVP_DigestUpdate(m_ctx->md, k.constData(), size_t(k.size()));
        unsigned int length = 0;
        EVP_DigestFinal_ex(m_ctx->md, out, &length);
        k = QByteArray(reinterpret_cast<const char *>(out), int(length));
    }
    k.resize(BlockBytes, '\0');
    unsigned char ipad[BlockBytes];
    unsigned char opad[BlockBytes];
    for (int i = 0; i < BlockBytes; ++i) {
        ipad[i] = static_cast<unsigned char>(k[i] ^ 0x36);
        opad[i] = static_cast<unsigned char>(k[i] ^ 0x5c);
    }
    m_inner = new Context;
    m_outer = new Context;
    EVP_DigestInit_ex(m_inner->md, EVP_sha256(), nullptr);
    EVP_DigestUpdate(m_inner->md, ipad, BlockBytes);
    EVP_DigestInit_ex(m_outer->md, EVP_sha256(), nullptr);
    EVP_DigestUpdate(m_outer->md, opad, BlockBytes);
}

ChainHasher::~ChainHasher()
{
    delete m_ctx;
    delete m_inner;
    delete m_outer;
}

void ChainHasher::digest(
    bool keyed, QByteArrayView prevRaw, QByteArrayView text, unsigned char out[DigestBytes])
{
    unsigned int length = 0;
    if (keyed && m_inner)
        EVP_MD_CTX_copy_ex(m_ctx->md, m_inner->md);
    else
        EVP_DigestInit_ex(m_ctx->md, EVP_sha256(), nullptr);
    EVP_DigestUpdate(m_ctx->md, prevRaw.data(), size_t(prevRaw.size()));
    EVP_DigestUpdate(m_ctx->md, &RecordSeparator, 1);
    EVP_DigestUpdate(m_ctx->md, text.data(), size_t(text.size()));
    EVP_DigestFinal_ex(m_ctx->md, out, &length);
    if (!(keyed && m_inner))
        return;
    EVP_MD_CTX_copy_ex(m_ctx->md, m_outer->md);
    EVP_DigestUpdate(m_ctx->md, out, DigestBytes);
    EVP_DigestFinal_ex(m_ctx->md, out, &length);
}

QByteArray ChainHasher::hex(bool keyed, const QByteArray &prevHex, QByteArrayView text)
{
    unsigned char out[DigestBytes];
    digest(keyed, QByteArray::fromHex(prevHex), text, out);
    return QByteArray(reinterpret_cast<const char *>(out), DigestBytes).toHex();
}
