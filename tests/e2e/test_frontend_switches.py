"""End-to-end tests of the command-line front end.

Each test runs the built talvex binary as a process and compares its whole
standard output, standard error and exit code. Every run here is refused or
answered before any directory is contacted; the one test that lets a run
pass the front end checks only what the front end prints.

Standard library only. TALVEX_BINARY names the binary (talvex_process.py).
"""

import pathlib
import random
import unittest

import labtest
from labtest import DEFAULT_WARNINGS, USAGE_HINT as HINT

DATA = pathlib.Path(__file__).resolve().parent / "data"

BANNER = "\nTalvex V01.00.00cpp by the Talvex developers, April 2007\n\n"
DEBUG_HEADER = "DEBUG: \nDEBUG: Debug strings enabled.\nDEBUG: \n"
DEBUG_APPLICATION = "DEBUG: Processing Application Specific Switches...\n"
USAGE_HEAD = ("-help         Help.\n-?            Help.\n\nUsage:\n"
              " Talvex [switches]\n\n  Switches: (designated by - or /)\n\n")
USAGE_FULL = (DATA / "usage_full.txt").read_text(encoding="utf-8")

# A run that passes the front end goes on to the directory; these keep it
# from finding one (a refused local port) so that it ends quickly.
UNREACHABLE = ["-h", "127.0.0.1", "-p", "9"]


def run(args, stdin=None):
    return labtest.run_talvex(*args, lab=False, stdin=stdin)


def lines(*texts):
    return labtest.text(texts)


def error(*messages):
    """An error block ending the run, followed by the usage hint."""
    return "ERROR:\n" + lines(*messages) + "ERROR:\n" + HINT


ADD_DEFAULTS = lines(*DEFAULT_WARNINGS, "")

ONLY_ONE_ACTION = error("ERROR: Only one Action switch can be specified.")


class FrontEndTestCase(unittest.TestCase):
    maxDiff = None

    def assertRun(self, args, stdout, code=1, banner=True, stdin=None):
        out, err, rc = run(args, stdin)
        self.assertEqual((BANNER if banner else "") + stdout, out)
        self.assertEqual("", err)
        self.assertEqual(code, rc)


class UsageTest(FrontEndTestCase):

    def test_usage_data_starts_with_the_head(self):
        self.assertTrue(USAGE_FULL.startswith(USAGE_HEAD))
        self.assertTrue(USAGE_FULL.endswith("\n\n"))
        # The one line that keeps two blanks at its end.
        self.assertIn("could be SAM Name, UPN, or DN.  \n", USAGE_FULL)

    def test_empty_command_line_shows_full_usage(self):
        self.assertRun([], USAGE_FULL)

    def test_help_switches_show_full_usage(self):
        for switch in ["-help", "-?", "/?", "/HELP", "-Help"]:
            with self.subTest(switch=switch):
                self.assertRun([switch], USAGE_FULL)

    def test_double_question_mark_shows_the_head_only(self):
        self.assertRun(["-??"], USAGE_HEAD)
        self.assertRun(["/??", "-view"], USAGE_HEAD)

    def test_help_wins_over_the_head(self):
        self.assertRun(["-??", "-?"], USAGE_FULL)

    def test_quiet_drops_only_the_banner(self):
        self.assertRun(["-q", "-?"], USAGE_FULL, banner=False)

    def test_help_never_reaches_the_directory(self):
        self.assertRun(["-view", "-pso", "-help"] + UNREACHABLE, USAGE_FULL)

    def test_help_with_unknown_switch_reports_the_switch(self):
        self.assertRun(
            ["-help", "-bogus"],
            lines("ERROR:", "ERROR: Bad Command Line Arg(s)", "ERROR:  bogus",
                  "ERROR:") + "\n\n" + HINT)


class SwitchParserTest(FrontEndTestCase):

    @staticmethod
    def bad(*names):
        return (lines("ERROR:", "ERROR: Bad Command Line Arg(s)")
                + lines(*["ERROR:  " + name for name in names])
                + "ERROR:\n\n\n" + HINT)

    def test_unknown_switch_is_reported(self):
        self.assertRun(["-view", "-pso", "-bogus"], self.bad("bogus"))

    def test_no_abbreviations(self):
        self.assertRun(["/vie", "/pso"], self.bad("vie"))

    def test_unknown_switches_in_name_order_lower_case(self):
        self.assertRun(["/Zeta", "-view", "/ALPHA", "/mid"],
                       self.bad("alpha", "mid", "zeta"))

    def test_lone_dash_or_slash_is_an_unknown_empty_name(self):
        self.assertRun(["-"], self.bad(""))
        self.assertRun(["/", "-view"], self.bad(""))

    def test_slash_digit_is_a_switch_dash_digit_a_value(self):
        self.assertRun(["/5"], self.bad("5"))
        # -5 is the value of -pso, so only "no action" remains.
        self.assertRun(["-pso", "-5"], error("ERROR: No action specified."))

    def test_quiet_leaves_errors_alone(self):
        self.assertRun(["-q", "-bogus"], self.bad("bogus"), banner=False)

    def test_arguments_alone_are_not_an_empty_command_line(self):
        self.assertRun(["stray"], error("ERROR: No action specified."))

    def test_debug_levels(self):
        out, err, rc = run(["-d", "-??"])
        self.assertEqual((DEBUG_HEADER + BANNER + USAGE_HEAD, "", 1),
                         (out, err, rc))
        out, _, _ = run(["-d", "6", "-??"])
        self.assertEqual(DEBUG_HEADER + BANNER + USAGE_HEAD, out)
        out, _, _ = run(["-d", "0", "-??"])
        self.assertEqual(BANNER + USAGE_HEAD, out)
        out, _, rc = run(["-q", "-d", "5", "-pso"])
        self.assertEqual(DEBUG_HEADER + DEBUG_APPLICATION
                         + error("ERROR: No action specified."), out)
        self.assertEqual(1, rc)

    def test_verbose_switches_are_accepted(self):
        for args in (["-v"], ["-v", "2"], ["-vv"], ["-v", "-vv"],
                     ["-vv", "extra"]):
            with self.subTest(args=args):
                self.assertRun(args + ["-??"], USAGE_HEAD)


class ApplicationSwitchTest(FrontEndTestCase):

    def assertRefused(self, args, *message, before=""):
        self.assertRun(args, before + error(*message))

    def test_no_action(self):
        self.assertRefused(["-pso"], "ERROR: No action specified.")
        self.assertRefused(["-dompol", "-forreal", "-u", "x", "-simple", "y"],
                           "ERROR: No action specified.")

    def test_view_needs_a_selection(self):
        self.assertRefused(["-view"],
                           "ERROR: Must specify -pso, -dompol, or -allpwdpols.")
        # The view rule runs before the add rule.
        self.assertRefused(["-view", "-add", "x"],
                           "ERROR: Must specify -pso, -dompol, or -allpwdpols.")

    def test_only_one_action(self):
        for args in (["-view", "-pso", "-add", "x"],
                     ["-view", "-dompol", "-quickstart"],
                     ["-rename", "n", "-applied"],
                     ["-applied", "-clearapplied"],
                     ["-clearapplied", "-applyto", "u"],
                     ["-unapplyto", "u", "-effective", "v"],
                     ["-mod", ":::42", "-quickstart"]):
            with self.subTest(args=args):
                self.assertRun(args, ONLY_ONE_ACTION)

    def test_add_refusals(self):
        for selection in ("-used", "-unused"):
            self.assertRefused(
                ["-add", "p::1", selection],
                "ERROR: -used and -unused switches not valid with -add.")
        self.assertRefused(["-add", "p::1", "-alldoms"],
                           "ERROR: -alldoms switch not valid with -add.")

    def test_domain_overrides_all_domains(self):
        warning = lines("WARN:",
                        "WARN: Switch -alldoms overridden by -domain switch.",
                        "WARN:")
        self.assertRun(["-alldoms", "-domain", "x", "-pso"],
                       warning + error("ERROR: No action specified."))
        # Later checks see no all-domains flag: the add is accepted.
        self.assertRun(
            ["-add", "p:p:1:1:1:1:1:1:1:1:true:false", "-alldoms", "-domain",
             "x", "-mod", "y"],
            warning + ONLY_ONE_ACTION)

    def test_delete_refusals(self):
        for action in ("-del", "-multidel"):
            with self.subTest(action=action):
                for selection in ("-dompol", "-allpwdpols"):
                    self.assertRefused(
                        [action, selection],
                        "ERROR: Cannot use -del or -multidel with Domain "
                        "Policy Objects, only PSOs.")
                self.assertRefused(
                    [action, "-alldoms"],
                    "ERROR: Cannot use -del or -multidel with -alldoms.")
                self.assertRefused(
                    [action, "-pso", "p", "-used"],
                    "ERROR: Cannot use -used with -del or -multidel for "
                    "safety.",
                    "ERROR: Remove members from PSO that you want to delete.",
                    "ERROR: Or use -override to allow deletion of any PSO.")

    def test_delete_adds_unused_for_safety(self):
        self.assertRun(["-del", "-pso", "p", "-rename", "x"],
                       "WARN: Added -unused switch for safety.\n"
                       + ONLY_ONE_ACTION)
        self.assertRun(["-del", "-pso", "p", "-override", "-rename", "x"],
                       ONLY_ONE_ACTION)
        # With -override, -used is allowed; -used with -unused is not.
        self.assertRefused(["-multidel", "-used", "-unused", "-override"],
                           "ERROR: Cannot specify Used and Unused PSO "
                           "switches.")

    def test_rename_refusals(self):
        self.assertRefused(["-rename", "n", "-dompol"],
                           "ERROR: Cannot use -rename with Domain Policy "
                           "Objects, only PSOs.")
        self.assertRefused(["-rename", "n", "-alldoms"],
                           "ERROR: Cannot use -rename against multiple "
                           "domains.")
        self.assertRefused(["-rename"],
                           "ERROR: Need to specify new RDN for -rename.")
        self.assertRefused(["-rename", "-pso", "p"],
                           "ERROR: Need to specify new RDN for -rename.")

    def test_modify_refusals(self):
        self.assertRefused(["-mod", ":::42", "-alldoms"],
                           "ERROR: -alldom switch not valid with -mod.")
        for specification in ("newname", ":Shown", "::5"):
            with self.subTest(specification=specification):
                self.assertRefused(
                    ["-mod", specification, "-dompol"],
                    "ERROR: Cannot modify name, displayname, or precedence "
                    "of Domain Policy.")
        # Changing settings of the domain policy is accepted.
        self.assertRun(["-mod", ":::42", "-dompol", "-quickstart"],
                       ONLY_ONE_ACTION)

    def test_membership_and_effective_refusals(self):
        self.assertRefused(["-applied", "-dompol"],
                           "ERROR: -applied does not apply to domain policy "
                           "switches.")
        self.assertRefused(["-applied", "-alldoms"],
                           "ERROR: -applied cannot be used with -alldoms.")
        self.assertRefused(["-clearapplied", "-allpwdpols"],
                           "ERROR: -clearapplied does not apply to domain "
                           "policy switches.")
        for action in ("-applyto", "-unapplyto"):
            with self.subTest(action=action):
                self.assertRefused([action, "u", "-dompol"],
                                   "ERROR: -applyto/-unapplyto does not work "
                                   "with domain policy switches.")
                self.assertRefused([action],
                                   "ERROR: Must specify DN or sAMAccountName "
                                   "for -applyto/-unapplyto.")
        self.assertRefused(["-effective", "u", "-dompol"],
                           "ERROR: -effective does not work with domain "
                           "policy switches.")
        self.assertRefused(["-effective", "-used"],
                           "ERROR: Must specify DN or sAMAccountName for "
                           "-effective.")

    def test_used_and_unused_together(self):
        self.assertRefused(["-view", "-pso", "-used", "-unused"],
                           "ERROR: Cannot specify Used and Unused PSO "
                           "switches.")

    def test_quickstart_clears_the_pso_selection(self):
        # -quickstart selects the domain policy, so -applied then refuses on
        # the action count first.
        self.assertRun(["-quickstart", "-pso", "x", "-applied"],
                       ONLY_ONE_ACTION)


class PolicySpecificationTest(FrontEndTestCase):

    def test_add_reports_every_default(self):
        self.assertRun(["-add", "newpso10::1", "-mod", "x"],
                       "WARN: Using name newpso10 for displayName.\n"
                       + ADD_DEFAULTS + ONLY_ONE_ACTION)

    def test_complete_add_reports_only_the_display_name(self):
        self.assertRun(
            ["-add", "testpso-1::1000:100:6:30:50:1:1:0:true:true", "-mod",
             "x"],
            "WARN: Using name testpso-1 for displayName.\n\n"
            + ONLY_ONE_ACTION)
        self.assertRun(
            ["-add", "p:Shown:1000:100:6:30:50:1:1:0:true:true", "-mod", "x"],
            ONLY_ONE_ACTION)

    def test_empty_add_reports_name_display_name_and_precedence(self):
        self.assertRun(
            ["-add", ""],
            lines("ERROR:", "ERROR: Must specify name in parameter for -add.",
                  "ERROR:", "WARN: Using name  for displayName.", "ERROR:",
                  "ERROR: Must specify precedence in parameter for -add.",
                  "ERROR:") + HINT)

    def test_debug_lines_come_before_the_messages(self):
        self.assertRun(
            ["-q", "-d", "-add", ":"],
            DEBUG_HEADER + DEBUG_APPLICATION
            + lines("DEBUG: No name specified", "DEBUG: No precedence specified",
                    "ERROR:", "ERROR: Must specify name in parameter for -add.",
                    "ERROR:", "WARN: Using name  for displayName.", "ERROR:",
                    "ERROR: Must specify precedence in parameter for -add.",
                    "ERROR:") + HINT, banner=False)

    def test_precedence_at_least_one(self):
        for precedence in ("0", "-3"):
            with self.subTest(precedence=precedence):
                self.assertRun(
                    ["-add", "p:p:" + precedence],
                    error("ERROR: Minimum value for policy precedence is 1."))
        # Text that is not a whole number is refused as such, "1x" too.
        for precedence in ("abc", "1x"):
            with self.subTest(precedence=precedence):
                self.assertRun(
                    ["-add", "p:p:" + precedence],
                    error("ERROR: Value for policy precedence is not a whole decimal "
                          "number.", "ERROR: Value - " + precedence))
        self.assertRun(["-mod", "::0"],
                       error("ERROR: Minimum value for policy precedence is 1."))

    def test_minimum_length_at_most_255(self):
        self.assertRun(["-add", "p:p:1::256"],
                       error("ERROR: Maximum value for minimum password length "
                             "is 255."))
        self.assertRun(["-pwdlen", "1000", "-mod", ":"],
                       error("ERROR: Maximum value for minimum password length "
                             "is 255."))

    def test_complexity_and_reversible_must_be_true_or_false(self):
        self.assertRun(["-add", "p:p:1", "-pwdcomplex", "yes"],
                       error("ERROR: Complexity setting must be TRUE or FALSE.",
                             "ERROR: Value - YES"))
        self.assertRun(["-add", "p:p:1:1:1:1:1:1:1:1:true:false:extra"],
                       error("ERROR: Reversible encryption setting must be TRUE "
                             "or FALSE.",
                             "ERROR: Value - false:extra"))

    def test_every_problem_is_reported_together(self):
        self.assertRun(
            ["-add", "p:p:0::300::::::x:y"],
            lines("ERROR:", "ERROR: Minimum value for policy precedence is 1.",
                  "ERROR:", "ERROR:",
                  "ERROR: Maximum value for minimum password length is 255.",
                  "ERROR:", "ERROR:",
                  "ERROR: Complexity setting must be TRUE or FALSE.",
                  "ERROR: Value - x", "ERROR:", "ERROR:",
                  "ERROR: Reversible encryption setting must be TRUE or FALSE.",
                  "ERROR: Value - y", "ERROR:") + HINT)

    def test_durations_that_are_no_interval_are_refused(self):
        self.assertRun(["-mod", ":", "-lockout", "3:-5:2147483648"],
                       lines("ERROR:",
                             "ERROR: Minimum value for lockout duration is -1 "
                             "(never).",
                             "ERROR: Value - -5", "ERROR:", "ERROR:",
                             "ERROR: Maximum value for lockout observation is "
                             "2147483647 minutes.",
                             "ERROR: Value - 2147483648", "ERROR:") + HINT)
        self.assertRun(["-mod", ":", "-pwdage", "10675200:-2"],
                       lines("ERROR:",
                             "ERROR: Maximum value for maximum password age is "
                             "10675199 days.",
                             "ERROR: Value - 10675200", "ERROR:", "ERROR:",
                             "ERROR: Minimum value for minimum password age is "
                             "-1 (never).",
                             "ERROR: Value - -2", "ERROR:") + HINT)

    def test_numbers_beyond_32_bits_are_refused(self):
        self.assertRun(["-add", "p:p:4294967297"],
                       error("ERROR: Value for policy precedence does not fit "
                             "in 32 bits.",
                             "ERROR: Value - 4294967297"))

    def test_never_durations_pass(self):
        self.assertRun(["-mod", ":::-1::::-1:-1:-1", "-dompol", "-quickstart"],
                       ONLY_ONE_ACTION)


class RunPastTheFrontEndTest(FrontEndTestCase):
    """Runs that pass every switch check go on to the directory; only the
    front end's part of their output is compared."""

    FRONT_END = DEBUG_HEADER + DEBUG_APPLICATION

    def test_command_line_completed_at_debug_level_five(self):
        out, _, _ = run(["-q", "-d", "5", "-view", "-dompol"] + UNREACHABLE)
        front = self.FRONT_END + "DEBUG: Processing command line completed.\n"
        self.assertEqual(front, out[:len(front)])

    def test_no_completion_line_below_debug_level_five(self):
        out, _, _ = run(["-q", "-d", "4", "-view", "-dompol"] + UNREACHABLE)
        self.assertTrue(out.startswith(self.FRONT_END))
        self.assertNotIn("Processing command line completed.", out)

    def test_password_from_standard_input_is_never_shown(self):
        out, err, rc = run(["-q", "-d", "9", "-u", "admin", "-up", "*",
                            "-view", "-dompol"] + UNREACHABLE,
                           stdin="Sup3r-Secret\n")
        front = (self.FRONT_END + "Enter Password: \n"
                 + "DEBUG: Processing command line completed.\n")
        self.assertEqual(front, out[:len(front)])
        self.assertNotIn("Sup3r-Secret", out + err)

    def test_password_on_the_command_line_is_never_shown(self):
        out, err, rc = run(["-q", "-d", "9", "-u", "admin", "-up",
                            "Sup3r-Secret", "-view", "-dompol"] + UNREACHABLE)
        self.assertNotIn("Sup3r-Secret", out + err)


class RandomCommandLineTest(unittest.TestCase):
    """Random token lists: the binary never crashes and always ends through
    the usage text or the usage hint with exit code 1. Two action switches
    at the end make sure no run reaches the directory."""

    VOCABULARY = [
        "-view", "-pso", "-dompol", "-allpwdpols", "-alldoms", "-used",
        "-unused", "-del", "-multidel", "-rename", "-mod", "-add", "-applyto",
        "-unapplyto", "-effective", "-clearapplied", "-domain", "-sort",
        "-lockout", "-pwdage", "-pwdlen", "-pwdhist", "-pwdcomplex",
        "-pwdreverse", "-override", "-forreal", "-dn", "-dnprec", "-v", "-vv",
        "-d", "-q", "-simple", "-u", "-h", "-p", "-gch", "/VIEW", "-", "/",
        "-5", "/5", "", "p", "p::1", ":::42", "a:b:c:d:e:f:g:h:i:j:k:l:m",
        "1:2:3", "-1", "4294967297", "true", "YES", "precedence", "\u00c4rzte",
        "-bogus", "*",
    ]

    # Each start of talvex.exe under Wine takes about a second.
    CASES = 60 if labtest.on_windows() else 300

    def test_random_command_lines_end_with_exit_code_one(self):
        generator = random.Random(1234)
        for case in range(self.CASES):
            tokens = [generator.choice(self.VOCABULARY)
                      for _ in range(generator.randrange(0, 10))]
            if generator.randrange(4) == 0:
                tokens.append("".join(chr(generator.randrange(33, 0x2ff))
                                      for _ in range(generator.randrange(8))))
            tokens += ["-quickstart", "-applied"]
            with self.subTest(case=case, tokens=tokens):
                out, err, rc = run(tokens)
                self.assertEqual(1, rc)
                self.assertEqual("", err)
                self.assertTrue(out.endswith(HINT) or out.endswith(USAGE_HEAD)
                                or out.endswith(USAGE_FULL), out[-300:])


if __name__ == "__main__":
    unittest.main()
