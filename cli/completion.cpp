#include "commandline.h"

namespace tmx9ctl {

QString bashCompletion()
{
    QStringList commands;
    QString perCommand;
    for (const CommandSpec &command : commandTable()) {
        commands << QLatin1String(command.name);
        QStringList options;
        for (const OptionSpec &option : optionTable()) {
            if ((command.options & option.id) || option.id == traceOption())
                options << QStringLiteral("--") + QLatin1String(option.name);
        }
        perCommand += QStringLiteral("        %1) options=\"%2\"; profile=%3 ;;\n")
                          .arg(QLatin1String(command.name), options.join(QLatin1Char(' ')),
                               command.profile ? QStringLiteral("1") : QStringLiteral("0"));
    }
    QStringList valued;
    for (const OptionSpec &option : optionTable()) {
        if (option.valueName)
            valued << QStringLiteral("--") + QLatin1String(option.name);
    }
    const QStringList &rates = baudChoices();
    return QStringLiteral(
               "# bash completion for tmx9ctl, made from its command table when it was built.\n"
               "\n"
               "# Serial devices by name only: listing opens nothing.\n"
               "_tmx9ctl_ports()\n"
               "{\n"
               "    local port\n"
               "    for port in /dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/rfcomm* "
               "/dev/serial/by-id/*; do\n"
               "        [[ -e $port ]] && printf '%s\\n' \"$port\"\n"
               "    done\n"
               "}\n"
               "\n"
               "_tmx9ctl()\n"
               "{\n"
               "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
               "    local command= options= profile=0 i\n"
               "    COMPREPLY=()\n"
               "    # The command is the first word that is neither an option nor its value.\n"
               "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
               "        case ${COMP_WORDS[i]} in\n"
               "        %1) ((i++)) ;;\n"
               "        -*) ;;\n"
               "        *) command=${COMP_WORDS[i]}; break ;;\n"
               "        esac\n"
               "    done\n"
               "    case $prev in\n"
               "    --port)\n"
               "        COMPREPLY=($(compgen -W \"$(_tmx9ctl_ports)\" -- \"$cur\"))\n"
               "        # A path of one's own, such as a link to a simulated radio.\n"
               "        if [[ $cur == */* ]]; then\n"
               "            compopt -o filenames 2>/dev/null\n"
               "            COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
               "        fi\n"
               "        return ;;\n"
               "    --baud) COMPREPLY=($(compgen -W \"%2\" -- \"$cur\")); return ;;\n"
               "    --backup-dir)\n"
               "        compopt -o filenames 2>/dev/null\n"
               "        COMPREPLY=($(compgen -d -- \"$cur\"))\n"
               "        return ;;\n"
               "    %1)\n"
               "        compopt -o filenames 2>/dev/null\n"
               "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
               "        return ;;\n"
               "    esac\n"
               "    if [[ -z $command ]]; then\n"
               "        if [[ $cur == -* ]]; then\n"
               "            COMPREPLY=($(compgen -W \"--help --version\" -- \"$cur\"))\n"
               "        else\n"
               "            COMPREPLY=($(compgen -W \"%3\" -- \"$cur\"))\n"
               "        fi\n"
               "        return\n"
               "    fi\n"
               "    case $command in\n"
               "%4"
               "        *) return ;;\n"
               "    esac\n"
               "    if [[ $cur == -* ]]; then\n"
               "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
               "    elif ((profile)); then\n"
               "        compopt -o filenames 2>/dev/null\n"
               "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
               "    fi\n"
               "}\n"
               "complete -F _tmx9ctl tmx9ctl\n")
        .arg(valued.join(QLatin1Char('|')), rates.join(QLatin1Char(' ')),
             commands.join(QLatin1Char(' ')), perCommand);
}

} // namespace tmx9ctl
