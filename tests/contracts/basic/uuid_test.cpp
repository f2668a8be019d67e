#include <basic/uuid.hpp>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include <absl/container/flat_hash_set.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <basic/lumora_exception.hpp>

namespace {

constexpr char TEXT[] = "1b4e28ba-2fa1-41d2-883f-0016d3cca427";

TEST(Uuid, TextIsCanonicalLowerCaseAndParsesBack) {
  velk::uuid const fresh;
  EXPECT_THAT(fresh.string(), testing::MatchesRegex("[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-"
                                                    "[89ab][0-9a-f]{3}-[0-9a-f]{12}"));
  EXPECT_EQ(velk::uuid{fresh.string()}, fresh);
  velk::uuid const parsed{TEXT};
  EXPECT_EQ(parsed.string(), TEXT);
  EXPECT_EQ(parsed.bytes()[0], 0x1b);
  EXPECT_EQ(parsed.bytes()[15], 0x27);
  EXPECT_EQ(velk::uuid{"1B4E28BA-2FA1-41D2-883F-0016D3CCA427"}, parsed);
}

TEST(Uuid, RefusesMalformedTexts) {
  std::string const malformed[] = {
      "",
      "1b4e28ba-2fa1-41d2-883f-0016d3cca42",    // one digit short
      "1b4e28ba-2fa1-41d2-883f-0016d3cca4271",  // one digit too many
      "1b4e28ba2fa1-41d2-883f-0016d3cca4271",   // dash missing
      "1b4e28b-a2fa1-41d2-883f-0016d3cca427",   // dash misplaced
      "1b4e28ba-2fa1-41d2-883f-0016d3cca42g",   // not a hexadecimal digit
      "{b4e28ba-2fa1-41d2-883f-0016d3cca427",
      "1b4e28ba-2fa1-41d2-883f-0016d3cca4 7"};
  for (auto const& text : malformed) {
    EXPECT_THROW(velk::uuid{text}, velk::LumoraException) << '"' << text << '"';
  }
  try {
    velk::uuid{"not-a-uuid"};
    FAIL() << "malformed text accepted";
  } catch (velk::LumoraException const& error) {
    EXPECT_STREQ(error.what(), "[uuid::uuid] \"not-a-uuid\" is not a uuid text");
  }
}

TEST(Uuid, ComparesOrdersAndHashesByValue) {
  velk::uuid const low{"00000000-0000-4000-8000-000000000001"};
  velk::uuid const high{"00000000-0000-4000-8000-000000000100"};
  velk::uuid const low_copy{low.string()};
  EXPECT_TRUE(low == low_copy);
  EXPECT_FALSE(low != low_copy);
  EXPECT_TRUE(low != high);
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_FALSE(low < low_copy);

  // The order of values is the order of their canonical texts.
  std::vector<velk::uuid> ids(50);
  std::sort(ids.begin(), ids.end());
  for (std::size_t index = 1; index < ids.size(); ++index) {
    EXPECT_LT(ids[index - 1].string(), ids[index].string());
  }

  absl::flat_hash_set<velk::uuid> set{low, high};
  EXPECT_FALSE(set.insert(low_copy).second);
  EXPECT_EQ(set.size(), 2u);
  EXPECT_TRUE(set.contains(velk::uuid{high.string()}));
  EXPECT_FALSE(set.contains(velk::uuid{}));
}

TEST(Uuid, FreshUuidsDifferAcrossCallsAndThreads) {
  absl::flat_hash_set<velk::uuid> seen;
  for (int count = 0; count < 1000; ++count) seen.insert(velk::uuid{});
  std::thread worker{[&seen] {
    for (int count = 0; count < 1000; ++count) seen.insert(velk::uuid{});
  }};
  worker.join();
  EXPECT_EQ(seen.size(), 2000u);
}

}  // namespace
