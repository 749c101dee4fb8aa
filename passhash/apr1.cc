#include "passhash/apr1.h"

#include <algorithm>

#include "passhash/base64.h"
#include "passhash/md5.h"
#include "passhash/secure_memory.h"

namespace gatekeeper::passhash {
namespace {

constexpr std::string_view kMagic = "$apr1$";

std::string_view bytesOf(const Md5Digest& digest) {
  return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

}  // namespace

std::string apr1Crypt(std::string_view password, std::string_view salt) {
  salt = salt.substr(0, 8);
  std::string text;
  text.append(password).append(salt).append(password);
  const Md5Digest alternate = md5(text);

  text.assign(password).append(kMagic).append(salt);
  for (std::size_t left = password.size(); left > 0; left -= std::min<std::size_t>(left, 16)) {
    text.append(bytesOf(alternate).substr(0, std::min<std::size_t>(left, 16)));
  }
  for (std::size_t bits = password.size(); bits != 0; bits >>= 1) {
    text.push_back((bits & 1) != 0 ? '\0' : password[0]);
  }
  Md5Digest digest = md5(text);

  for (int i = 0; i < 1000; ++i) {
    text.clear();
    if ((i & 1) != 0) {
      text.append(password);
    } else {
      text.append(bytesOf(digest));
    }
    if (i % 3 != 0) text.append(salt);
    if (i % 7 != 0) text.append(password);
    if ((i & 1) != 0) {
      text.append(bytesOf(digest));
    } else {
      text.append(password);
    }
    digest = md5(text);
  }
  wipe(text.data(), text.size());

  std::string out;
  out.append(kMagic).append(salt).push_back('$');
  const auto group = [&digest](int a, int b, int c) {
    return std::uint32_t{digest[a]} << 16 | std::uint32_t{digest[b]} << 8 | digest[c];
  };
  appendCrypt64(out, group(0, 6, 12), 4);
  appendCrypt64(out, group(1, 7, 13), 4);
  appendCrypt64(out, group(2, 8, 14), 4);
  appendCrypt64(out, group(3, 9, 15), 4);
  appendCrypt64(out, group(4, 10, 5), 4);
  appendCrypt64(out, digest[11], 2);
  return out;
}

}  // namespace gatekeeper::passhash
