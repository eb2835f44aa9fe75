// The pronunciation rule table: 371 rows, run in this order over every sentence.
//
// Each line is one row: its number, what selects it, and its rewrite (search text -> replacement).
//   Say(row, text, replacement)            the text selects the sentence and is what is replaced
//   When(row, trigger, search, replacement) a trigger selects, another text is replaced
//   WhenFirst(...)                          the same, replacing only the first occurrence
//   SayUnless(row, text, excluded, ...)    not when the sentence holds the excluded text
//   SayOutside(row, {chapters}, text, ...) not while the current chapter is one of these
//   SayAndSetChapter99(...)                sets the current chapter to 99 before it rewrites
//   FlagRow(row, search, replacement)      guarded by the position of "HR", the length and the
//                                          chapter 12 flag instead of a trigger
//   Cascade(row, {s, r}, {s, r}, {s, r})   selected by any of the three search texts; the first
//                                          alternative that changes the sentence wins
// Order matters: every row sees the sentence as the rows above it left it ("Mia" rewrites the
// "Mia" of "Miami", "$5" the "$5" of "$500", ":" every colon).
//
// Phonemes. The last text of a phonetic rewrite is what espeak-ng (voice en-us) is meant to say
// for the replacement, in its -x notation: the replacement with every tag replaced by a space,
// given to espeak_TextToPhonemes clause by clause (phoneme mode 0), the clauses' phonemes joined by
// one space. That is `espeak-ng -q -x -v en-us` with its output lines joined by spaces, apart from
// the pause marks "_:" it sometimes adds between clauses. A test runs every replacement through
// espeak-ng and compares, so an edit that changes what the voice says shows up. Replacements are
// spelled for espeak-ng: "eh" and "A" rather than "ay" (which it says as "eye"), no "sh" before a
// consonant (it spells "shm" and "shp" out), and strong forms ("kann", "iz", "wuzz", "yoo") where
// a word must be stressed. Rows with no phonemes keep the words (emphasis only), insert other
// markup, or keep a spelling as the novel's author gave it that espeak-ng misreads (marked).
//
// Texts are Windows-1252: "\x85" is the ellipsis; "papier-m\xE2" "ch\xE9" is split so that no
// hex escape swallows the letters after it.
#include "pronunciation/pronunciation_rule.h"

namespace quillon {
namespace {

constexpr PronunciationRule When(int row, std::string_view trigger, std::string_view search,
                                 std::string_view replacement, std::string_view phonemes = {}) {
  PronunciationRule rule;
  rule.row = row;
  rule.triggers = {{trigger}};
  rule.rewrites = {{{search, replacement}}};
  rule.phonemes = phonemes;
  return rule;
}

constexpr PronunciationRule Say(int row, std::string_view text, std::string_view replacement,
                                std::string_view phonemes = {}) {
  return When(row, text, text, replacement, phonemes);
}

constexpr PronunciationRule WhenFirst(int row, std::string_view trigger, std::string_view search,
                                      std::string_view replacement) {
  PronunciationRule rule = When(row, trigger, search, replacement);
  rule.mode = ReplaceMode::First;
  return rule;
}

constexpr PronunciationRule SayUnless(int row, std::string_view text, std::string_view excluded,
                                      std::string_view replacement) {
  PronunciationRule rule = Say(row, text, replacement);
  rule.unless = excluded;
  return rule;
}

constexpr PronunciationRule SayOutside(int row, ChapterList chapters, std::string_view text,
                                       std::string_view replacement,
                                       std::string_view phonemes = {}) {
  PronunciationRule rule = Say(row, text, replacement, phonemes);
  rule.not_chapters = chapters;
  return rule;
}

constexpr PronunciationRule SayAndSetChapter99(int row, std::string_view text,
                                               std::string_view replacement,
                                               std::string_view phonemes = {}) {
  PronunciationRule rule = Say(row, text, replacement, phonemes);
  rule.effect = RuleEffect::SetsChapter99;
  return rule;
}

constexpr PronunciationRule FlagRow(int row, std::string_view search,
                                    std::string_view replacement) {
  PronunciationRule rule;
  rule.row = row;
  rule.rewrites = {{{search, replacement}}};
  rule.effect = RuleEffect::FlagRow;
  return rule;
}

constexpr PronunciationRule Cascade(int row, Rewrite first, Rewrite second, Rewrite third,
                                    std::string_view phonemes = {}) {
  PronunciationRule rule;
  rule.row = row;
  rule.triggers = {{first.search, second.search, third.search}};
  rule.rewrites = {{first, second, third}};
  rule.phonemes = phonemes;
  return rule;
}

// A comment naming a person marks a row for a public figure's name.
// clang-format off
constexpr PronunciationRule kRules[] = {
  When(  1, "/", "and/or", "and or"),
  Say(  2, "CHAPTER",                   R"(<silence msec="500"/>CHAPTER)"),
  SayUnless(  3, "--", "cr--", R"(<silence msec="500"/>)"),
  WhenFirst(  4, "Sound the alarm", "Sound", R"(<partofsp part="verb">Sound</partofsp>)"),
  Say(  5, "mignon",                    "mun yon",                           "m'Vn j'0n"),
  Say(  6, "Mr.",                       "Mister",                            "m'Ist3"),
  Say(  7, ":",                         R"(<silence msec="500"/>)"),
  Say(  8, "schmanzy",                  "shmantsy"),  // espeak-ng: "shm" is spelled out
  Say(  9, "yankee-ization",            "yankee uh zayshen",                 "j'aNki:; 'V z'eIS@n"),
  Say( 10, "agressivization",           "uh gressiv uh zayshen",             "'V gr'EsIv 'V z'eIS@n"),
  When( 11, "Oh, no!", "oh no", "<EMPH>oh no</EMPH>"),
  Say( 12, "It tastes like a muffin to me,", "It tastes like a muffin to <EMPH>me</EMPH>,"),
  Say( 13, "tears-won",                 "tiers-won",                         "t'i@3zw'Vn"),
  Say( 14, "untainted",                 "untaynted",                         "Vnt'eIntI#d"),
  Say( 15, "Madeline",                  "mad uh lin",                        "m'ad 'V l'In"),
  Say( 16, "Chevy",                     "shevvy",                            "S'Evi"),
  Say( 17, "odd odd odd cricket",       "odd odd <EMPH>odd</EMPH> cricket"),
  Say( 18, "odd odd odd odd",           "odd odd odd <EMPH>odd</EMPH>"),
  Say( 19, "would be really odd",       "would be <emph>really</emph> odd"),
  Say( 20, "Sartre",                    "sartruh",                           "s'A@trV"),  // Jean-Paul Sartre
  Say( 21, "devilette",                 "devil <EMPH>ett</EMPH>",            "d'Ev@L 'Et"),
  Say( 22, "wannabe",                   "wanna bee",                         "w'O2n@ b'i:"),
  Say( 23, "Ms.",                       "Miz",                               "m'Iz"),
  Say( 24, "C3PO",                      "C3 pee oh",                         "s'i: Tr'i: p'i:; 'oU"),
  Say( 25, "you are the one who",       "<EMPH>you</EMPH> are the one who"),
  Say( 26, "imposter",                  "im <EMPH>poss</EMPH> ter",          "'Im p'0s t'3:"),
  When( 27, "or it", "or it ", "or<EMPH>it</EMPH> "),
  When( 28, "you or I know", "only you I know", R"(only you and <silence msec="500"/> I <silence msec="500"/> know)"),
  Say( 29, "Putting",                   "Puttting",                          "p'Vt#IN"),
  Say( 30, "putting",                   "puttting",                          "p'Vt#IN"),
  Say( 31, "tell me where Mary is",     "tell me where Mary <EMPH>is</EMPH>"),
  Say( 32, "'she' instead of 'I'",      "<EMPH>'she'</EMPH>' instead of <EMPH>'I'</EMPH>"),
  Say( 33, "But if you're not Mary",    "But if you're naht Mary",           "b,Vt If jU@ n'A:t m'e@ri"),
  Say( 34, "Britt-lis",                 "Brit liss",                         "br'It l'Is"),
  Say( 35, "lima beans",                "lime uh beans",                     "l'aIm 'V b'i:nz"),
  Say( 36, "(and that is mean)",        "(and that iz mean)",                "_:_:and Dat 'Iz m'i:n"),
  Say( 37, "cr--",                      R"(kruh <silence msec="500"/>)"),
  Say( 38, "<><><><><>  T h e   OCONOMOWOC   N e w s   S e r v i c e  <><><><><>", "The Oconomowoc News Service"),
  Say( 39, "=======================                            [Oconomowoc, WI, USA", "Oconomowoc, Wisconsin, USA"),
  Say( 40, "MacAtak",                   "mackattack",                        "m'aka#t,ak"),
  Say( 41, "subjugation",               "sub jegayshen",                     "s'Vb dZ'EgeIS@n"),
  Say( 42, "the courses themselves present dangers", "the courses themselves pree zent dangers", "D@2 k'o@sI#z DEms'Elvz pr'i: z'Ent d'eIndZ3z"),
  Say( 43, "Titleist",                  "tie tull ist",                      "t'aI t'Vl 'Ist"),
  SayOutside( 44, {29}, "Mia", "me uh", "m,i:; 'V"),
  Say( 45, "What?",                     "<EMPH>What?</EMPH>"),
  Say( 46, "The nerve!",                "<EMPH>The nerve!</EMPH>"),
  Say( 47, "It was you who accused me", "It was yoo who accused me",         "It wVz j'u:_:_: h,u: a#kj'u:zd m,i:"),
  Say( 48, "H.R",                       "HR"),
  Say( 49, " PT ",                      " P T "),
  Say( 50, "Neville",                   "Nevvel",                            "n'Ev@L"),
  Say( 51, "hearkens",                  "harkens",                           "h'A@k@nz"),
  Say( 52, "Louis",                     "Lewis",                             "l'u:Is"),
  Say( 53, "Minocqua",                  "min ock wah",                       "m'In '0k w'A:"),
  Say( 54, "steely-eyed",               "steely ide",                        "st'i:li; 'aId"),
  Say( 55, "Quillon!",                  "<EMPH>Quillon!</EMPH>"),
  Say( 56, "Slow down!",                "<EMPH>Slow down!</EMPH>"),
  Say( 57, "puny pitted produce",       "pew knee pit tud <EMPH>pro</EMPH> doos"),  // espeak-ng: "doos" ends in z
  Say( 58, "Beg you to stop?",          "<EMPH>Beg</EMPH> you to stop?"),
  Say( 59, "You will get your cherries", "You wil get your cherries",         "ju: w'Il gEt jU@ tS'Eriz"),
  Say( 60, "But they will not get my fingerprints", "But they will <EMPH>nott</EMPH> get my fingerprints", "b,Vt DeI wI2l n'0t gEt maI f'INg3pr,Ints"),
  Say( 61, "They probably stole all those produce items", "They probably stole all those <emph>produce</emph> items"),
  Say( 62, "What, our car?",            "What, hour car?",                   "w,Vt 'aU3 k'A@"),
  Say( 63, "Great Caesar's ghost!",     "<EMPH>Great Caesar's ghost!</EMPH>"),  // Julius Caesar
  Say( 64, "6'3 1/2'",                  "six foot three and a half",         "s'Iks f'Ut Tr'i:_:_: and a# h'af"),
  Say( 65, "\x85",                      R"(<silence msec="500"/>)"),
  Say( 66, "juiciest",                  "joosiest",                          "dZ'u:si;I2st"),
  Say( 67, "rotten",                    "rot ton",                           "r'0t t'Vn"),
  Say( 68, "bookended",                 "bookend id"),  // espeak-ng: "id" is spelled out
  Say( 69, "produce-pilferer",          "<emph>proh</emph> dooss pilferer",  "pr'oU d'u:s p'Ilf3r-3"),
  Say( 70, "microsecond",               "<emph>microsecond</emph>"),
  Say( 71, "forwards or backwards",     "<EMPH>forwards</EMPH> or <EMPH>backwards</EMPH>"),
  Say( 72, "Pleez pay-ess the co-wern", R"(<RATE SPEED="-7"><EMPH>Pleeez pay</EMPH> es the <EMPH>coe</EMPH> wurn</RATE>)"),
  Say( 73, "Antietem",                  "an tee tum",                        "an t'i: t'Vm"),
  Say( 74, "y'all",                     R"(<RATE SPEED="-4">yuh alll</RATE>)"),
  Say( 75, "Nieto",                     "nee ettoe",                         "n'i:; 'Et#oU"),
  Say( 76, "gen-u-ine",                 "jen <emph>you</emph> wine",         "dZ'En ju: w'aIn"),
  Say( 77, "chauvinist",                "shawvenist",                        "S'O:v@n,Ist"),
  Say( 78, "Miss Mary, Miss Mary, Miss Mary", R"(<RATE SPEED="-7">Miss Mary, Miss Mary, Miss Mary</RATE>)"),
  Say( 79, "that-a-way",                "that uh way",                       "Dat 'V w'eI"),
  Say( 80, "with his legs bowed",       "with his legs bode",                "wID hIz l'Egz b'oUd"),
  Say( 81, "Favre",                     "farv",                              "f'A@v"),  // Brett Favre
  Say( 82, "to see if we know",         "to see if wee know",                "t@ s'i:_:_: If w'i: n'oU"),
  Say( 83, "Well, I wouldn't know about that", "Well, <EMPH>Eye</EMPH> wouldn't know about that", "w'El 'aI w'Ud@-nt n'oU a#b,aUt D'at"),
  Say( 84, "Liquor license schmicker license", "Liquor license, schmicker license"),
  Say( 85, "I thought I heard a strange noise", "I thought I heard a <emph>strange</emph> noise"),
  Say( 86, "Orleans",                   "Orlins",                            "'O@lInz"),
  Say( 87, "Westwego",                  "west wee go",                       "w'Est w'i: g'oU"),
  Say( 88, "extrapolation",             "ex strap oh layshen",               "'Eks str'ap 'oU l'eIS@n"),
  Say( 89, "po-lice",                   "<emph>poe</emph> lease",            "p'oU l'i:s"),
  Say( 90, "as if they are suspicious", "as if <emph>they</emph> are suspicious"),
  Say( 91, "para-military",             "parra military",                    "p'ar@ m'Il@t,Eri"),
  Say( 92, "No guns",                   "<EMPH>No</EMPH> guns"),
  Say( 93, "rack would look",           "<emph>rack</emph> would look"),
  Say( 94, "kind-hearted",              "kind hearted"),
  Say( 95, "I want to suppress you",    "I want to <emph>suppress</emph> you"),
  Say( 96, "don't speak Yankee",        "don't <emph>speak</emph> Yankee"),
  Say( 97, "what do they call them",    "what do <emph>they</emph> call them"),
  Say( 98, "They are smashed",          "They <EMPH>ahr</EMPH> smashed",     "DeI 'A@ sm'aSt"),
  Say( 99, "Whether you're hungry or not", "Whether you're hungry <emph>or not</emph>"),
  Say(100, "Dixonia",                   "Dix own ee uh",                     "d'Iks 'oUn 'i:; 'V"),
  Say(101, "Hmmm",                      R"(<RATE SPEED="-5">uhm</RATE>)"),
  Say(102, "157 Riverside Avenue",      "one fifty seven Riverside Avenue",  "w'Vn f'Ifti s'Ev@n r'Iv3s,aId 'av@n,u:"),
  Say(103, "'s Mercury",                "Mercury",                           "m'3:kjUri"),
  Say(104, "behind HR",                 "<emph>behind</emph> HR"),
  Say(105, "surfection",                "sur <emph>fek</emph> shun",         "s'3: f'Ek S'Vn"),
  Say(106, "though, HR",                "<emph>though</emph>, HR"),
  SayOutside(107, {4, 13, 15, 24, 27, 36, 66}, "'s eyes", "eyes", "'aIz"),
  Say(108, "Shhh",                      R"(<RATE SPEED="-5"><EMPH>shush</EMPH></RATE>)"),
  Say(109, "you're the Colonel",        "yore the Colonel",                  "j'o@ D@2 k'3:n@L"),
  FlagRow(110, "H.R.", "H R"),
  SayOutside(111, {27, 59}, "'s neighbor", "neighbor", "n'eIb3"),
  Say(112, "War?",                      "<emph>Whoa</emph>wa?",              "w'oU w'A:"),
  Say(113, "war?",                      "<emph>whoa</emph>wa?",              "w'oU w'A:"),
  Say(114, "returning to the scene of the crime?", "returning to the scene of the <EMPH>crime</EMPH>?"),
  Say(115, "Because I'm ready for them", "Because Eyem ready for them",       "bIk'Vz 'aIm r'Edi fO@ D,Em"),
  Say(116, "Bring it on!",              "<EMPH>Bring it on!</EMPH>"),
  Say(117, "The South's gonna rise again, and remember the Alamo!", "The South's uh <emph>go</emph> nuh rahs uh <emph>gin</emph>, an remimber thuh <emph>Al</emph>amo!"),  // espeak-ng: "gin" has j, "thuh" a voiceless th
  Say(118, "President of the U-nited States my chicken-fried Sycamore!", "President of the <emph>you</emph> nahted States mah chicken-frahd <emph>sick</emph> uh more!", "pr'EzId@nt VvD@2 ju: n'A:t#I#d st'eIts m'A: tS'IkInfr'A:d s'Ik 'V m'o@"),
  Say(119, "President of the Yankee States, maybe!", "President of the <EMPH>Yankee</EMPH> States, maybe!"),
  Say(120, "Jefferson Davis and Robert E. Lee would be proud!", "Jeff uh sun Davis an Robbut E Lee would be mighty prowd!", "dZ'Ef 'V s'Vn d'eIvIs an r'0bVt 'i: l'i: wUd bi: m'aIt#i pr'aUd"),  // Jefferson Davis, Robert E. Lee
  Say(121, "Stonewall",                 "stone wawl",                        "st'oUn w'O:l"),  // Stonewall Jackson
  Say(122, "Mi casa su casa",           "me kahsuh soo kahsuh",              "m,i: k'A:sV s'u: k'A:sV"),
  Say(123, "'s friendly",               "friendly",                          "fr'Endli"),
  SayAndSetChapter99(124, "True dyed-in-the-wool, way-down-yonder-in-the-land-of-cotton", "True died-in-the-wool, way-down-yonder-in-the-land-of-cot ton", "tr'u: d'aIdInD@2w'Ul w'eId,aUnj'0nd3r-InD@2l'andVvk'0t t'Vn"),
  Say(125, "Paige",                     "<emph>Paige</emph>"),
  Say(126, "Desenex",                   "dess uh necks",                     "d'Es 'V n'Eks"),
  Say(127, "curlicue",                  "curly cue",                         "k'3:li kj'u:"),
  Say(128, "ported",                    "<emph>ported</emph>"),
  Say(129, "Madame",                    "muh dam",                           "m'V d'am"),
  Say(130, "I'm what?!",                "I'm <EMPH>what</EMPH>?!"),
  Say(131, "Orifice!",                  "<EMPH>Orifice!</EMPH>"),
  Say(132, "'s pillow",                 "pillow",                            "p'IloU"),
  Say(133, "You mean you retained them", "You mean <emph>you</emph> retained them"),
  Say(134, "Sarah complex",             "<emph>Sarah</emph> complex"),
  Say(135, "Baton Rouge",               "batten roozh",                      "b'a?n- r'u:Z"),
  Say(136, "World Wars I and II",       "World Wars one and two",            "w'3:ld w'O@z w'Vn_:_: and t'u:"),
  Say(137, "their very lives",          R"(their very <partofsp part="noun">lives</partofsp>)"),
  Say(138, "Who?",                      "<emph>Who?</emph>"),
  Say(139, "Who was eye black?",        "Who wuzz eye black?",               "h,u: w'Vz 'aI bl'ak"),
  Say(140, "Now who was he?",           "Now who <emph>wuzz</emph> he?",     "n'aU h,u: w'Vz hi:"),
  Say(141, "He?",                       "Hee?",                              "h'i:"),
  Say(142, "hyar",                      "huh yar",                           "h'V j'A@"),
  Say(143, "Tripleday",                 "triple day",                        "tr'Ip@L d'eI"),
  Say(144, "O.",                        "Oh",                                "'oU"),
  Say(145, "would they need to intimidate", "would they <emph>need</emph> to intimidate"),
  Say(146, "I am glad",                 "I amm glad",                        "aI 'am gl'ad"),
  Say(147, "compadres",                 "com <emph>pah</emph> drays",        "k'0m p'A: dr'eIz"),
  When(148, "B.", "B.B.", "B B"),
  Say(149, "Nashv'l",                   "<EMPH>Nash</EMPH> vull",            "n'aS v'Vl"),
  Say(150, "I can talk",                "I kann talk",                       "aI k'an t'O:k"),
  Say(151, "Dolly Parton",              "<emph>Dolly Parton</emph>"),  // Dolly Parton
  Say(152, "What the heck?",            "What the <EMPH>heck</EMPH>?"),
  Say(153, "each other's lives",        R"(each other's <partofsp part="noun">lives</partofsp>)"),
  Say(154, "What I can tell you",       "What I kann tell you",              "w,Vt aI k'an t'El ju:"),
  Say(155, "Several big inventions",    "Several <emph>big</emph> inventions"),
  When(156, " can.", "can.", "<emph>can</emph>."),
  Say(157, "Read it.",                  "<emph>Read</emph> it."),
  Say(158, "red-blooded",               "red bluddid",                       "r'Ed bl'VdId"),
  Say(159, "<fill in the number here after I see how many I can acquire>", "(fill in the number here after I see how many I can acquire)", "_:_:f'Il InD@2 n'Vmb3 h'i@3r 'aaft3r- aI s'i: h,aU m'Eni; aI kan a#kw'aI3"),
  Say(160, "<put in the amount here, once it's known>", "(put in the amount here, once it's known)", "_:_:p,Ut InDI2; a#m'aUnt h'i@3 w'Vns Its n'oUn"),
  Say(161, "c/o",                       "in care of",                        "In k'e@r Vv"),
  Say(162, "31415-9265",                "3 1 4 1 5 9 2 6 5"),
  Say(163, "P.S",                       "P S"),
  Say(164, "PriceBiz",                  "Price Biz"),
  Say(165, "Bft!",                      "Pfuh!",                             "f'V"),
  Say(166, "He is  lucky",              "He iz lucky",                       "hi:; 'Iz l'Vki"),
  Say(167, "spiel",                     "shpeel"),  // espeak-ng: "shp" is spelled out
  Say(168, "lemme",                     "lemmy",                             "l'Emi"),
  Say(169, "co-worker",                 "co worker"),
  Say(170, "$314.15",                   R"(<context ID = "currency">$314.15</context>)"),
  Say(171, "I did it!",                 "I <EMPH>did</EMPH> it!"),
  Say(172, "dour",                      "dooer",                             "d'u:3"),
  Say(173, "Otto Deidacht",             "Otto <emph>die</emph> dockt",       "'0t#oU d'aI d'0kt"),
  Say(174, "Deidacht",                  "<emph>die</emph> dockt",            "d'aI d'0kt"),
  Say(175, "#1",                        "number one",                        "n'Vmb3 w,Vn"),
  Say(176, "$3,141,592.65",             R"(<context ID = "currency">$3,141,592.65</context>)"),
  Say(177, "gone on record",            R"(gone on <partofsp part="noun">record</partofsp>)"),
  Say(178, "Get the lead out",          "<emph>Get the <emph>led</emph> out</emph>", "gEt D@2 l'Ed 'aUt"),
  Say(179, "Nemo",                      "<emph>nee</emph> mo",               "n'i: m'oU"),
  Say(180, "It's me!",                  "It's <EMPH>mee</EMPH>!",            "Its m'i:"),
  Say(181, "Man overboard!",            "<EMPH>Man overboard!</EMPH>"),
  Say(182, "Quillon-ward",              "Quillon word",                      "kw'Il@n w'3:d"),
  Say(183, "You said 'was'",            "You said wuzz",                     "ju: s'Ed w'Vz"),
  Say(184, "St.",                       "Saint",                             "s'eInt"),
  Say(185, "Ripley",                    "<emph>rip</emph> lee",              "r'Ip l'i:"),
  Say(186, "One-Eyed",                  "One Eyed"),
  SayOutside(187, {35, 45, 52, 53, 65, 67}, "$5", "five dollar", "f'aIv d'0l3"),
  Say(188, "J.C",                       "J C"),
  Say(189, "-ations",                   "ations"),
  Say(190, "Krzyzewski",                "shuh <emph>shev</emph> skee",       "S'V S'Ev sk'i:"),  // Mike Krzyzewski
  Say(191, "non-sequiters",             "non seck wit ers",                  "n'0n s'Ek w'It '3:z"),
  Say(192, "BI.ON.",                    "B I O N"),
  Say(193, "Gee whiz, Mister!",         "<EMPH>Gee whiz</EMPH>, Mister!"),
  Say(194, "egotistical and conceited", "<emph>egotistical</emph> and <emph>conceited</emph>"),
  When(195, "I'd just love to join your band!", R"(I'd just love to join your band!")", R"(<emph>I'd just love to join your band!"</emph>)"),
  Say(196, "You do?!",                  "You <EMPH>do</EMPH>?!"),
  Say(197, "And you would?!",           "And you <EMPH>would</EMPH>?!"),
  Say(198, "Upd8s",                     "Updates",                           "'VpdeIts"),
  Say(199, "Nuthin' Matters",           "Nothin Matters",                    "n'VTIn m'at#3z"),
  Say(200, "Mm-hmm",                    "uh huh",                            "'V h'V"),
  Say(201, "Manet",                     "man <emph>nay</emph>",              "m'an n'eI"),  // Edouard Manet
  Say(202, "talented",                  "<emph>tal</emph> en tid",           "t'al 'En t'Id"),
  Say(203, "generation-Yers",           "generation whyers",                 "dZ,En3r'eIS@n w'aI3z"),
  Say(204, "before a dead audience",    "before a <emph>dead</emph> audience"),
  Say(205, "whoop",                     "<EMPH>whoop</EMPH>"),
  Say(206, "You did it, Mary, you did it!", "You <EMPH>did</EMPH> it, Mary, you <EMPH>did</EMPH> it!"),
  Say(207, "Miami",                     "my <emph>ammy</emph>",              "maI 'ami"),
  Say(208, "beaudacious",               "bow <emph>day</emph> shuss",        "b'oU d'eI S'Vs"),
  Say(209, "6/11ths",                   "six elevenths",                     "s'Iks I#l'Ev@nTs"),
  Say(210, "firstbaseman",              "first baseman"),
  Say(211, "hors d'oeuvre",             "orr derv",                          "'o@ d'3:v"),
  When(212, "forward 'progress';", "forward 'progress'", R"(forward <partofsp part="noun">progress</partofsp>)"),
  Say(213, "greedily",                  "<emph>greedily</emph>"),
  Say(214, "Yoplait",                   "yo play",                           "j'oU pl'eI"),
  Say(215, "Liberace",                  "libber <emph>ah</emph> chee",       "l'Ib3r- 'A: tS'i:"),  // Liberace
  Say(216, "co-produced",               "co produced"),
  Say(217, "pow",                       "<EMPH>pow</EMPH>"),
  Say(218, "to address Mary",           R"(to <partofsp part="verb">address</partofsp> Mary)"),
  Say(219, "-hence its name",           ", hence its name"),
  Say(220, "Descartes",                 "day <emph>kart</emph>",             "d'eI k'A@t"),  // Rene Descartes
  Say(221, "Picasso",                   "<emph>Picasso</emph>"),  // Pablo Picasso
  Say(222, "Goethe",                    "gurtuh",                            "g'3:t#V"),  // Johann Wolfgang von Goethe
  Say(223, "Camus",                     "kam <emph>oo</emph>",               "k'am 'u:"),  // Albert Camus
  Say(224, "Jemima",                    "juh <emph>my</emph> muh",           "dZ'V maI m'V"),
  Say(225, "Morley had been",           "Morley <emph>hadd</emph> been",     "m'O@li h'ad b,In"),
  Say(226, "Now that's something to look forward to", "Now <emph>that's</emph> something to look forward to"),
  Say(227, "$500",                      R"(<context ID = "currency">$500</context> )"),
  Say(228, "Porsche",                   "porsha",                            "p'o@S@"),  // Ferdinand Porsche
  Say(229, "M&M",                       "M and Em",                          "'Em and 'Em"),
  Say(230, "Stand there",               "<emph>Stand</emph> there"),
  Cascade(231, {"important ", "import int "}, {"important,", "import int,"}, {"important.", "import int."}, "Imp'o@t 'Int"),
  Say(232, "slumberland",               "<emph>slumberland</emph>"),
  Say(233, "candylet",                  "candy let"),
  Say(234, "1.000",                     "one thousand",                      "w'Vn T'aUz@nd"),
  Say(235, "Seurat",                    "suh rah",                           "s'V r'A:"),  // Georges Seurat
  Say(236, "horsefly",                  "<emph>horsefly</emph>"),
  Say(237, "do you know where we are",  "do you know where wee are",         "d'u: ju: n'oU_:_: w,e@ w'i:; A@"),
  Say(238, "Villa ",                    "Vee yuh ",                          "v'i: j'V"),
  Say(239, "You're no Einstein",        "You're <emph>no</emph> Einstein"),  // Albert Einstein
  Say(240, "Boehner",                   "bayner",                            "b'eIn3"),  // John Boehner
  Say(241, "Tchaikovsky",               "chy <EMPH>koff</EMPH> skee",        "tS'aI k'0f sk'i:"),  // Pyotr Tchaikovsky
  Say(242, "steeped",                   "<emph>steeped</emph>"),
  Say(243, "Sometimes I do think",      "Sometimes I <emph>do</emph> think"),
  Say(244, "must have a little money",  "<EMPH>must</EMPH> have a little money"),
  Say(245, "recanize",                  "<emph>reck</emph> uh nize",         "r'Ek 'V n'aIz"),
  Say(246, "we are newcomers",          "we <emph>ahr</emph> newcomers",     "wi:; 'A@ n'u:kVm3z"),
  When(247, ", ay.", "ay.", "A", "'eI"),
  Say(248, "Oh, Sylvia!",               "<EMPH>Oh, Sylvia!</EMPH>"),
  Say(249, "gussied",                   "gus eed",                           "g'Vs 'i:d"),
  Say(250, "Quillun",                   "<emph>Quil</emph> lun"),
  Say(251, "She is a little curious",   "She iz a little curious",           "Si:; 'Iz a# l'It#@L kj'U@ri@s"),
  Say(252, "24X7",                      "24 7",                              "tw'Ent2i f'o@ s'Ev@n"),
  Say(253, "jine-yus",                  "jeen yuss",                         "dZ'i:n j'Vs"),
  Say(254, "convicts",                  R"(<partofsp part="noun">convicts</partofsp>)"),
  Say(255, "in no tahm",                "in no <emph>tahm</emph>"),
  Say(256, "tahm",                      "<emph>tahm</emph>"),
  Say(257, "Gettysburg Address",        R"(Gettysburg <partofsp part="verb">Address</partofsp>)"),
  Say(258, "Yastrzemski",               "yuh <emph>strem</emph> skee",       "j'V str'Em sk'i:"),  // Carl Yastrzemski
  Say(259, "Oklahoma/Kansas",           "Oklahoma Kansas"),
  Say(260, "World War II",              "World War two",                     "w'3:ld w'O@ t'u:"),
  Say(261, "-40s",                      " forties",                          "f'O@t#iz"),
  Say(262, "Harry Potter and Austin Powers", "<emph>Harry Potter</emph> and <emph>Austin Powers</emph>"),
  Say(263, "Djokovic",                  "<emph>joke</emph> oh vitch",        "dZ'oUk 'oU v'ItS"),  // Novak Djokovic
  Say(264, "these cookies",             "<emph>these</emph> cookies"),
  Say(265, "the nerve",                 "the <EMPH>nerve</EMPH>"),
  Say(266, "Hody",                      "Hoe dee",                           "h'oU d'i:"),
  Say(267, "they do know,",             "they <emph>do</emph> know,"),
  Say(268, "the severed head",          "the <EMPH>severed</EMPH> head"),
  Say(269, "d'etat",                    "day tah",                           "d'eI t'A:"),
  Say(270, "Fenwrong",                  "Fen <emph>wrong</emph>"),
  Say(271, "cockamamie",                "cocka <emph>may</emph> mee",        "k'0k@ m'eI m'i:"),
  Say(272, "98-lb.",                    "98 pound",                          "n'aInti; 'eIt p'aUnd"),
  Say(273, "Winnemucca",                "winna <emph>muck</emph> uh",        "w'In@ m'Vk 'V"),
  Say(274, "fakeroo",                   "<emph>fakeroo</emph>"),
  Say(275, "tears welling",             "<emph>tears</emph> welling"),
  Say(276, "dyed-in-the-wool",          "died in the wool",                  "d'aId InD@2 w'Ul"),
  Say(277, "Nevada/California",         "Nevada California"),
  Say(278, "49ers",                     "forty-niners",                      "f'O@tin'aIn3z"),
  Say(279, "PowerBars",                 "Power Bars"),
  Say(280, "Get back on your side of the road", "Get back on <EMPH>yore</EMPH> side of the road", "gEt b'ak ,O2n j'o@ s'aId VvD@2 r'oUd"),
  Say(281, "Mokelumne",                 "muh <emph>kahl</emph> uh mee",      "m'V k'A:l 'V m'i:"),
  Say(282, "San Andreas",               "San Ann <emph>dray</emph> us",      "s,an 'an dr'eI ,Vs"),
  Say(283, "What is this great plan",   "What iz this great plan",           "w,Vt 'Iz DIs gr'eIt pl'an"),
  Say(284, "read the newspaper",        "red the newspaper",                 "r'Ed D@2 n'u:zpeIp3"),
  Say(285, "Calaveras",                 "cala <emph>vair</emph> us",         "k'A:l@ v'e@r ,Vs"),
  Say(286, "kinda",                     "kind uh",                           "k'aInd 'V"),
  When(287, "$20", "$20 bill", "twenty dollar bill", "tw'Enti d'0l3 b'Il"),
  Say(288, "papier-m\xE2" "ch\xE9",     "paper muh <emph>shay</emph>",       "p'eIp3 m'V S'eI"),
  Say(289, "pickpocketed",              "pick pocketed"),
  Say(290, "spycatcher",                "spy catcher"),
  Say(291, "Bufferchunks",              "buffer chunks",                     "b'Vf3 tS'VNks"),
  Say(292, "catsup-y",                  "ketchupy",                          "k'EtSVpi"),
  Say(293, "muledeer",                  "mule deer"),
  Say(294, "nauseum",                   "nawzee um",                         "n'O:zi:; 'Vm"),
  Say(295, "photo op",                  "photo opp",                         "f'oUt#oU '0p"),
  Say(296, "Sproutsager",               "sprout sayger",                     "spr'aUt s'eIdZ3"),
  Say(297, "lazily",                    "<emph>lay</emph> zuh lee",          "l'eI z'V l'i:"),
  Say(298, "I bet you can't read this.", R"(<RATE SPEED="+6">I bet you can't understand this.</RATE>)"),
  Say(299, "Chickenfeed",               "chicken feed",                      "tS'IkIn f'i:d"),
  Say(300, "Dalles",                    "<emph>Dalles</emph>"),
  Say(301, "Coeur d' Alene",            "core duh lane",                     "k'o@ d'V l'eIn"),
  Say(302, ".314",                      "point 3 1 4",                       "p'OInt Tr'i: w'Vn f'o@"),
  Say(303, "Why would they want to spend the night with us", "Why would they want to spend the night with uss", "w,aI wUd DeI w'O2nt t@ sp'End D@2 n'aIt wID 'Vs"),
  Say(304, "COO",                       "C O O"),
  Say(305, "Is it live or is it Memorex", "Is it lyve or is it Memorex",       "Iz It l'aIv_:_: O@r Iz It m'Em@r,Eks"),
  Say(306, "BIOTRANS",                  "bio trans",                         "b'aIoU tr'anz"),
  Say(307, "My bio-company is going to make practical", "My <emph>bio</emph>-company is going to make practical"),
  Say(308, "as if they need to",        "as if they <emph>need</emph> to"),
  Say(309, "YOU CAN",                   "<emph>YOU CAN</emph>"),
  Say(310, "Shaquille",                 "shuh <emph>keel</emph>",            "S'V k'i:l"),  // Shaquille O'Neal
  Say(311, "Ralph Fiennes",             "<emph>Rafe</emph> Fines",           "r'eIf f'aInz"),  // Ralph Fiennes
  Say(312, "I am perfect",              R"(I am <partofsp part="noun">perfect</partofsp>)"),
  Say(313, "camera-wards",              "camera words",                      "k'am@-r@ w'3:dz"),
  Say(314, "much, much, much",          "much, much, <EMPH>much</EMPH>"),
  Say(315, "BioTrans does very well",   "BioTrans does <emph>very</emph> well"),
  Say(316, "Debussy",                   "deb yoo <emph>see</emph>",          "d'Eb j'u: s'i:"),  // Claude Debussy
  Say(317, "Giuliani",                  "joo lee <emph>ah</emph> nee",       "dZ'u: l'i:; 'A: n'i:"),  // Rudy Giuliani
  Say(318, "Oconomowoc",                "uh <emph>con</emph> uh muh walk",   "'V k'0n 'V m'V w'O:k"),
  Say(319, "read it aloud",             "<emph>read</emph> it aloud"),
  Say(320, "else's",                    "elses"),
  Say(321, " mph",                      " miles per hour",                   "m'aIlz p3:r- 'aU3"),
  Say(322, "Mary objects",              R"(Mary <partofsp part="verb">objects</partofsp>)"),
  Say(323, "I just drove through",      "I <emph>just</emph> drove through"),
  Say(324, " re-",                      " reee-",                            "r'i:"),
  Say(325, "far as they would go",      "far as they wood go",               "f'A@r- az DeI w'Ud g'oU"),
  Say(326, "forsaken",                  "<emph>forsaken</emph>"),
  Say(327, "stop stop",                 "<emph>stop</emph> stop"),
  Say(328, "at 'em",                    "atom",                              "'at#@m"),
  Say(329, "I won't, will I",           "I <emph>won't</emph>, <emph>wil</emph> I", "aI w'oUnt w'Il 'aI"),
  Say(330, "Wouldn't you miss",         "<emph>Wouldn't</emph> you miss"),
  Say(331, "brats",                     "brotts",                            "br'0ts"),
  Say(332, "Anesthetization",           "uh ness thuh tuh zayshun",          "'V n'Es T'V t'V z'eISVn"),
  Say(333, "said I was listening to",   "said I <emph>wuzz</emph> listening to", "s'Ed aI w'Vz l'Is@nIN tu:"),
  Say(334, "Joaquin",                   "wah keen",                          "w'A: k'i:n"),  // Joaquin Phoenix
  SayOutside(335, {57}, "brat,", "brott,", "br'0t"),
  Say(336, "radio address",             R"(radio <partofsp part="verb">address</partofsp>)"),
  Say(337, "televisionactive",          "television active"),
  Say(338, "hor'ble",                   "<emph>hor</emph> bull",             "h'o@ b'Ul"),
  Say(339, "implies he is horrible",    "implies he iz horrible",            "Impl'aIz hi:; 'Iz h'O:rIb@L"),
  Say(340, "satisfied and content",     R"(satisfied and <partofsp part="verb">content</partofsp>)"),
  Say(341, "Quillonmobile",             "Quillon mo beel",                   "kw'Il@n m'oU b'i:l"),
  Say(342, "Zinfandel",                 "zin fun dell",                      "z'In f'Vn d'El"),
  Say(343, "Quillonmania",              "Quillon <emph>may</emph> nee uh",   "kw'Il@n m'eI n'i:; 'V"),
  Say(344, "the AW era",                "the A. W. era"),
  Say(345, "huggees may have BO",       "hug eez may have B O",              "h'Vg 'i:z m,eIha#v b'i:; 'oU"),
  Say(346, "blooded",                   "bluddid",                           "bl'VdId"),
  Say(347, "deforestation",             "dee for ess <emph>tay</emph> shun", "d'i: fO@r 'Es t'eI S'Vn"),
  Say(348, "underestimation",           "under ess tim <emph>may</emph> shun", ",Vnd3r- 'Es t'Im m'eI S'Vn"),
  Say(349, "Jean-",                     "zhan ",                             "Z'an"),
  Say(350, "photographer",              "fuh <emph>tog</emph> ruh fer",      "f'V t'0g r'V f'3:"),
  Say(351, "opens his mouth to address", R"(opens his mouth to <partofsp part="verb">address</partofsp>)"),
  Say(352, "after you ruined the economy", "after <emph>yoo</emph> ruined the economy", "'aaft3 j'u: r'u:I2nd DI2; Ik'0n@mi"),
  Say(353, "Quil-lon",                  R"(<VOLUME LEVEL="100"><emph>Quil</emph> lon)"),
  Say(354, "celebratory",               "<emph>sell</emph> uh bruh tory",    "s'El 'V br'V t'o@ri"),
  Say(355, "unsatisfied",               "<emph>unsatisfied</emph>"),
  Say(356, "those plans, are perfect",  R"(those plans, are <partofsp part="noun">perfect</partofsp>)"),
  Say(357, "my advisors insisted",      "my advisors <emph>insisted</emph>"),
  Say(358, "I'll go to Dallas",         "I'll go to <emph>Dallas</emph>"),
  Say(359, "Pekingese",                 "peeking eez",                       "p'i:kIN 'i:z"),
  Say(360, "Huh-uh",                    "unh uh",                            "'Vn 'V"),
  Say(361, "I want to record a press",  R"(I want to <partofsp part="verb">record</partofsp> a press)"),
  Say(362, "farewell address",          R"(farewell <partofsp part="verb">address</partofsp>)"),
  Say(363, "regimentation",             "rej uh men <emph>tay</emph> shun",  "r'EdZ 'V m'En t'eI S'Vn"),
  Say(364, "Quillon addresses",         R"(Quillon <partofsp part="verb">addresses</partofsp>)"),
  Say(365, "Quillon alternates",        R"(Quillon <partofsp part="verb">alternates</partofsp>)"),
  Say(366, "PETA",                      "peeta",                             "p'i:t#@"),
  Say(367, "she is really curious",     "she <emph>iz</emph> really curious", "Si:; 'Iz r'i@li kj'U@ri@s"),
  Say(368, "zoot",                      "<emph>zoot</emph>"),
  Say(369, "goldmine",                  "gold mine"),
  Say(370, "Brats",                     "brotts",                            "br'0ts"),
  Say(371, "Tweedle",                   "<emph>twee</emph> dul",             "tw'i: d'Vl"),
};
// clang-format on

static_assert(std::size(kRules) == 371);

}  // namespace

std::span<const PronunciationRule> PronunciationRules() {
  return kRules;
}

}  // namespace quillon
