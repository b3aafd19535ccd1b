#include "core/CloudSignature_p.h"
#include "support/TestHmac.h"

#include <gtest/gtest.h>

namespace {

QByteArray Counting(int from, int to) {
    QByteArray b;
    for (int i = from; i <= to; ++i) b.append(static_cast<char>(i));
    return b;
}

}  // namespace

TEST(CloudSignature, HmacMatchesTheRfc4231Vectors) {
    struct Case {
        const char* name;
        QByteArray key, data;
        const char* hex;  // expected HMAC-SHA-256
    };
    const Case cases[] = {
        {"1", QByteArray(20, '\x0b'), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {"2", "Jefe", "what do ya want for nothing?",
         "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {"6", QByteArray(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {"7", QByteArray(131, '\xaa'),
         "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
         "hashed before being used by the HMAC algorithm.",
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const Case& c : cases) {
        const QByteArray expected(c.hex);
        EXPECT_EQ(CloudHmacSha256(c.key, c.data).toHex(), expected) << "case " << c.name;
        // The tests' own HMAC, which the fake data cloud uses, must agree with the RFC too.
        EXPECT_EQ(TestHmacSha256(c.key, c.data).toHex(), expected) << "case " << c.name;
    }
}

TEST(CloudSignature, HeaderCarriesTheFieldsAndTheHexHmacOfTheText) {
    const QByteArray key = Counting(0, 63);
    const QString body = QString::fromUtf8("{\n    \"mobile\": \"中文\"\n}\n");
    const QString header = CloudSignatureHeader("client_id", QString::fromLatin1(key.toBase64()), "POST", "/v1/x",
                                                "", body, "00112233445566778899aabbccddeeff", 1700000000123LL);
    const QString text = QString("zadeda-data-cloud\nPOST\n/v1/x\n\n") + body +
                         "\n00112233445566778899aabbccddeeff\n1700000000123";
    const QString signature = QString::fromLatin1(TestHmacSha256(key, text.toUtf8()).toHex());
    EXPECT_EQ(header, "secretId=client_id,nonceStr=00112233445566778899aabbccddeeff,service=zadeda-data-cloud,"
                      "timestamp=1700000000123,signature=" + signature);
}
