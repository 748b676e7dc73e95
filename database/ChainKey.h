#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The station key of a keyed chain: a file that only the workstation accounts
// may read. With it every link of the chain is an HMAC-SHA256 that nobody
// without the file can compute again; without it the links are plain SHA-256,
// which anyone who knows how the program hashes can recompute.
class ChainKey
{
public:
    static constexpr qint64 MinimumBytes = 16;
    static constexpr qint64 MaximumBytes = 4096;

    ChainKey() = default;
    explicit ChainKey(QByteArray secret)
        : m_secret(std::move(secret))
    { }

    // Reads the key file as it is, every byte. A file that others may read
    // or write, one that is not a regular file, or one shorter than
    // MinimumBytes is refused: the key is then null and *error says why in
    // words for the administrator.
    static ChainKey load(const QString &path, QString *error);

    bool isNull() const { return m_secret.isEmpty(); }
    const QByteArray &secret() const { return m_secret; }
    // Sixteen hex digits that tell two keys apart and reveal nothing of them.
    QByteArray id() const;

private:
    QByteArray m_secret;
};

// Computes the links of a chain. Keeps its own digest contexts, so each
// thread that hashes has its own ChainHasher; the key's inner and outer
// blocks are hashed once, not per link.
class ChainHasher
{
public:
    static constexpr int DigestBytes = 32;

    explicit ChainHasher(const ChainKey &key = ChainKey());
    ~ChainHasher();
    ChainHasher(const ChainHasher &) = delete;
    ChainHasher &operator=(const ChainHasher &) = delete;

    bool hasKey() const { return m_inner != nullptr; }

    // SHA-256 (keyed false) or HMAC-SHA256 with the key (keyed true, only
    // when hasKey()) over prevRaw, one record separator and text.
    void digest(
        bool keyed, QByteArrayView prevRaw, QByteArrayView text, unsigned char out[DigestBytes]);
    // The same from and to lower-case hex, as the tables keep the links.
    QByteArray hex(bool keyed, const QByteArray &prevHex, QByteArrayView text);

private:
    struct Context;
    Context *m_ctx = nullptr; // scratch
    Context *m_inner = nullptr; // the key's inner block hashed, null without a key
    Context *m_outer = nullptr;
};
